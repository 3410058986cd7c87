#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

#include "ControlService.h"

// The control interface on the session bus: service "net.lw52.Panel", object
// "/net/lw52/Panel", interface "net.lw52.Panel1". Every method answers the same JSON text the
// socket's "result" carries, or fails with the error "net.lw52.Panel1.Error.Failed" and the
// socket's text; the arguments are checked by the same request reader. Events are signals.
class CControlBus : public QObject, protected QDBusContext, public control::IEventListener {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.lw52.Panel1")

  public:
    static constexpr const char* kService = "net.lw52.Panel";
    static constexpr const char* kPath = "/net/lw52/Panel";
    static constexpr const char* kInterface = "net.lw52.Panel1";
    static constexpr const char* kFailed = "net.lw52.Panel1.Error.Failed";

    explicit CControlBus(control::CControlService& service, QObject* parent = nullptr);
    ~CControlBus() override;

    // Registers on the session bus; false with error set when there is none or the name is
    // taken (another panel of this user on the same bus).
    bool Register(QString* error = nullptr);

    void OnControlEvent(const std::string& name, const Json::Value& data) override;

  public slots:
    QString Info();
    QString State();
    QString Set(int id, int raw);
    QString Effect(int index);
    QString Custom(int index);
    QString Preset(int group, int index);
    QString SaveEffect(const QString& target, int slot, const QString& name);
    QString SavePreset(int group, int slot, const QString& name);
    QString UploadEffect(const QString& file, int slot);
    QString UploadSound(const QString& file, int slot, int volume);
    QString PlayPad(int pad);
    QString StopPad();
    // Any request as the socket takes it ({"op": ...}); answers the socket's answer line.
    QString Call(const QString& request);

  signals:
    // Every event: its name and its data as JSON text.
    void Event(const QString& name, const QString& data);
    void DeviceChanged(bool connected, const QString& path);
    void ParamChanged(int id, int raw, const QString& text);
    void Levels(int mic, int accompaniment);

  private:
    // Runs a request built from the method's arguments; the reply is sent when it is done.
    QString Run(Json::Value request);
    // Runs a checked request; answerLine: the reply is the socket's answer line (Call), else
    // the result or a D-Bus error.
    void Execute(const control::Request& request, bool answerLine);

    control::CControlService& m_service;
    bool m_registered = false;
};
