#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// Desktop notifications (org.freedesktop.Notifications on the session bus). Each one replaces
// the one before, so a quick replug leaves a single bubble; its default action ("显示主窗口")
// calls onActivated. Without a notification server nothing is shown and the first failure is
// logged once.
class CDesktopNotifier : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    CDesktopNotifier(const QDBusConnection& bus, std::function<void()> onActivated);

    // category: the hint desktops group notifications by ("device.added", "device.removed").
    void Notify(const QString& summary, const QString& body, const QString& category);
    // The server's id of the notification on screen, 0 when none is.
    uint ShownId() const { return m_id; }

  private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnClosed(uint id, uint reason);

  private:
    struct Pending {
        QString summary, body, category;
    };
    void Send(const Pending& note);

    QDBusConnection m_bus;
    std::function<void()> m_onActivated;
    uint m_id = 0;
    // One call at a time: a notification asked for while the server has not yet given the
    // id of the last one waits for it (only the newest), so it can replace that one.
    bool m_inFlight = false;
    std::optional<Pending> m_next;
    bool m_failureLogged = false;
};
