#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <cstdint>
#include <map>
#include <string>

#include "IGlobalHotkeys.h"

// System-wide hotkeys through the desktop portal's global shortcuts (Wayland desktops, where
// no program may grab keys): one session, every registered id bound in it with a description
// and the stored combination as the preferred trigger. The desktop decides: it may confirm
// the combination, choose another, or ask the user; what it confirmed is kept per id for the
// hotkey dialog. Activated arrives as hotkeyPressed on the UI thread.
class PortalGlobalShortcuts : public QObject, public IGlobalHotkeys {
    Q_OBJECT

  public:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";

    enum class Binding { kNone, kPending, kConfirmed, kRefused };
    // Registrations close together become one bind; a release waits longer (see Unregister).
    static constexpr int kBindDelayMs = 50;
    static constexpr int kUnbindDelayMs = 2000;

    explicit PortalGlobalShortcuts(const QDBusConnection& bus, QObject* parent = nullptr);
    ~PortalGlobalShortcuts() override;

    // Whether the bus has a portal that offers global shortcuts (asked once, at most 1 s).
    static bool Present(const QDBusConnection& bus);
    // Opens the session (its answer comes later). False when the request cannot be sent.
    bool Start();
    bool SessionOpen() const { return !m_session.isEmpty(); }
    const std::string& LastError() const { return m_lastError; }

    bool Register(int id, uint32_t modifiers, uint32_t vkey) override;
    void Unregister(int id) override;

    Binding BindingOf(int id) const;
    // What the desktop shows as the trigger of id once confirmed ("Ctrl+F1"); may be empty.
    QString TriggerOf(int id) const;
    // The hotkey dialog's line about id: confirmed (with the trigger), waiting, refused.
    QString StatusText(int id) const;

    // "effect-10003" / "pad-14000": the shortcut ids the desktop lists.
    static QString ShortcutId(int id);
    // The preferred trigger in the shortcuts notation ("CTRL+SHIFT+F1"); empty when the key
    // has no name there.
    static QString PreferredTrigger(uint32_t modifiers, uint32_t vkey);

  signals:
    void hotkeyPressed(int id);
    // A binding's state changed (the hotkey dialog shows it).
    void bindingsChanged();

  private slots:
    void OnSessionResponse(uint response, const QVariantMap& results);
    void OnBindResponse(uint response, const QVariantMap& results);
    void OnActivated(const QDBusMessage& message);

  private:
    struct Entry {
        uint32_t modifiers = 0;
        uint32_t vkey = 0;
        Binding binding = Binding::kPending;
        QString trigger;
    };
    // A request's handle is known before the call, so its answer cannot arrive unheard.
    QString RequestPath(const QString& token) const;
    void ScheduleBind();
    void Bind();
    void Refuse(const std::string& why);

    QDBusConnection m_bus;
    QString m_session;
    QString m_bindRequest;
    std::map<int, Entry> m_entries;
    std::map<int, QString> m_lastTrigger;  // confirmed before the id was let go
    QTimer m_bindTimer;
    int m_tokens = 0;
    bool m_bindAgain = false;  // changes came while a bind was answered
    std::string m_lastError;
};
