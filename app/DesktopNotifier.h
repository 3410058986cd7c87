#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

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

    // category: the notification spec's hint ("device.added", "device.removed").
    void Notify(const QString& summary, const QString& body, const QString& category);
    // The server's id of the notification on screen, 0 when none is.
    uint ShownId() const { return m_id; }

  private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnClosed(uint id, uint reason);

  private:
    QDBusConnection m_bus;
    std::function<void()> m_onActivated;
    uint m_id = 0;
    bool m_failureLogged = false;
};
