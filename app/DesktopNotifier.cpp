#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "Log.h"

namespace {
constexpr const char* kInterface = "org.freedesktop.Notifications";
}

CDesktopNotifier::CDesktopNotifier(const QDBusConnection& bus, std::function<void()> onActivated)
    : m_bus(bus), m_onActivated(std::move(onActivated)) {
    m_bus.connect(kService, kPath, kInterface, "ActionInvoked", this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, "NotificationClosed", this,
                  SLOT(OnClosed(uint, uint)));
}

void CDesktopNotifier::Notify(const QString& summary, const QString& body,
                              const QString& category) {
    const Pending note{summary, body, category};
    if (m_inFlight)
        m_next = note;
    else
        Send(note);
}

void CDesktopNotifier::Send(const Pending& note) {
    QVariantMap hints;
    hints["desktop-entry"] = QStringLiteral("net.lw52.Panel");
    hints["category"] = note.category;
    hints["urgency"] = QVariant::fromValue(uchar(1));  // normal
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << QStringLiteral("林雾LW52") << m_id << QStringLiteral("net.lw52.Panel") << note.summary
         << note.body << QStringList{QStringLiteral("default"), tr("显示主窗口")} << hints
         << int(-1);  // the server's own display time
    // Asynchronous: the server may be slow or missing, and this runs on the UI thread.
    m_inFlight = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_inFlight = false;
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            if (!m_failureLogged)
                QV_LOG("no desktop notification: %s", qPrintable(reply.error().message()));
            m_failureLogged = true;
        } else {
            m_id = reply.value();
        }
        if (m_next) {
            const Pending next = *m_next;
            m_next.reset();
            Send(next);
        }
    });
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& key) {
    if (id == 0 || id != m_id || key != QLatin1String("default")) return;
    if (m_onActivated) m_onActivated();
}

void CDesktopNotifier::OnClosed(uint id, uint /*reason*/) {
    if (id != 0 && id == m_id) m_id = 0;
}
