#include "ControlBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "ControlRequest.h"

namespace {
std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

QString Text(const Json::Value& value) {
    return QString::fromStdString(Compact(value));
}
}  // namespace

CControlBus::CControlBus(control::CControlService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    m_service.AddListener(this);
}

CControlBus::~CControlBus() {
    m_service.RemoveListener(this);
    if (m_registered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kPath);
        bus.unregisterService(kService);
    }
}

bool CControlBus::Register(QString* error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = "no session bus: " + bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(kPath, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        if (error) *error = "cannot register the object: " + bus.lastError().message();
        return false;
    }
    if (!bus.registerService(kService)) {
        if (error) *error = QString("the name %1 is taken").arg(kService);
        bus.unregisterObject(kPath);
        return false;
    }
    m_registered = true;
    return true;
}

QString CControlBus::Run(Json::Value request) {
    control::Request parsed;
    std::string error;
    if (!control::ParseRequest(Compact(request), parsed, error)) {
        sendErrorReply(kFailed, QString::fromStdString(error));
        return {};
    }
    Execute(parsed, false);
    return {};
}

void CControlBus::Execute(const control::Request& request, bool answerLine) {
    // The answer goes out when the operation ends, which may be after this call returns.
    setDelayedReply(true);
    const QDBusMessage call = message();
    const QDBusConnection bus = connection();
    control::Reply reply;
    // Progress is a signal to everyone: the caller's bus name and method say whose it is.
    reply.progress = [this, caller = call.service().toStdString(),
                      method = call.member().toStdString()](const Json::Value& data) {
        Json::Value named = data;
        named["caller"] = caller;
        named["method"] = method;
        emit Event("progress", Text(named));
    };
    reply.done = [call, bus, answerLine, id = request.id](bool ok, const Json::Value& result,
                                                          const std::string& why) {
        QDBusMessage answer;
        if (answerLine)
            answer = call.createReply(QString::fromStdString(ok ? control::AnswerLine(id, result)
                                                                : control::RefusalLine(id, why)));
        else
            answer = ok ? call.createReply(Text(result))
                        : call.createErrorReply(kFailed, QString::fromStdString(why));
        QDBusConnection(bus).send(answer);
    };
    m_service.Target().Execute(request, std::move(reply));
}

namespace {
Json::Value Op(const char* op) {
    Json::Value request(Json::objectValue);
    request["op"] = op;
    return request;
}
}  // namespace

QString CControlBus::Info() {
    return Run(Op("info"));
}

QString CControlBus::State() {
    return Run(Op("state"));
}

QString CControlBus::Set(int id, int raw) {
    Json::Value request = Op("set");
    Json::Value change(Json::arrayValue);
    change.append(id);
    change.append(raw);
    request["changes"].append(change);
    return Run(request);
}

QString CControlBus::Effect(int index) {
    Json::Value request = Op("effect");
    request["index"] = index;
    return Run(request);
}

QString CControlBus::Custom(int index) {
    Json::Value request = Op("custom");
    request["index"] = index;
    return Run(request);
}

QString CControlBus::Preset(int group, int index) {
    Json::Value request = Op("preset");
    request["group"] = group;
    request["index"] = index;
    return Run(request);
}

QString CControlBus::SaveEffect(const QString& target, int slot, const QString& name) {
    Json::Value request = Op("save-effect");
    request["target"] = target.toStdString();
    request["slot"] = slot;
    request["name"] = name.toStdString();
    return Run(request);
}

QString CControlBus::SavePreset(int group, int slot, const QString& name) {
    Json::Value request = Op("save-preset");
    request["group"] = group;
    request["slot"] = slot;
    request["name"] = name.toStdString();
    return Run(request);
}

QString CControlBus::UploadEffect(const QString& file, int slot) {
    Json::Value request = Op("upload-effect");
    request["file"] = file.toStdString();
    request["slot"] = slot;
    return Run(request);
}

QString CControlBus::UploadSound(const QString& file, int slot, int volume) {
    Json::Value request = Op("upload-sound");
    request["file"] = file.toStdString();
    request["slot"] = slot;
    request["volume"] = volume;
    return Run(request);
}

QString CControlBus::PlayPad(int pad) {
    Json::Value request = Op("play-pad");
    request["pad"] = pad;
    return Run(request);
}

QString CControlBus::StopPad() {
    return Run(Op("stop-pad"));
}

QString CControlBus::Call(const QString& line) {
    control::Request parsed;
    std::string error;
    if (!control::ParseRequest(line.toStdString(), parsed, error))
        return QString::fromStdString(control::RefusalLine(parsed.id, error));
    if (parsed.op == control::Op::kSubscribe)
        return QString::fromStdString(control::RefusalLine(
            parsed.id, "subscribe is for the socket; on the bus the events are signals"));
    Execute(parsed, true);
    return {};
}

void CControlBus::OnControlEvent(const std::string& name, const Json::Value& data) {
    if (!m_registered) return;
    emit Event(QString::fromStdString(name), Text(data));
    if (name == "connected")
        emit DeviceChanged(true, QString::fromStdString(data["path"].asString()));
    else if (name == "disconnected")
        emit DeviceChanged(false, QString());
    else if (name == "change")
        emit ParamChanged(data["id"].asInt(), data["raw"].asInt(),
                          QString::fromStdString(data["text"].asString()));
    else if (name == "levels")
        emit Levels(data["mic"].asInt(), data["accompaniment"].asInt());
}
