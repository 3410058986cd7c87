// lw52-desktop-standin: the desktop's side of the tray and of notifications on a private
// session bus (DBUS_SESSION_BUS_ADDRESS), for tests. It registers
//   org.kde.StatusNotifierWatcher (/StatusNotifierWatcher), with a host registered, and
//   org.freedesktop.Notifications (/org/freedesktop/Notifications)
// as a desktop shell does, and drives the registered tray item as the shell would: Activate
// for a click, GetLayout and Event on its menu. With --no-tray the watcher is left out.
// Commands on stdin, each answered with one line:
//   activate            click the item                      -> "activated" | "error ..."
//   props               the item's properties               -> "props Id=... Title=... ..."
//   menu                the item's menu labels              -> "menu LABEL|LABEL..."
//   click LABEL         choose a menu entry                  -> "clicked" | "error ..."
//   invoke ID KEY       the user chose action KEY of ID     -> "invoked"
//   drop-tray           the watcher leaves the bus           -> "dropped"
// It prints "ready" once registered, "item SERVICE PATH" when the item registers and
// "notify ID REPLACES|APP|ICON|SUMMARY|BODY|ACTIONS|DESKTOP-ENTRY|CATEGORY" per notification.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "StandInConsole.h"

namespace {
const auto Say = [](const QString& line) { StandInConsole::Say(line); };
}  // namespace

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

  public:
    using QObject::QObject;
    QStringList items() const { return registered; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    QStringList registered;
    QString itemService;
    QString itemPath;

  public slots:
    // The argument is the item's bus name, or its object path on the caller's connection.
    void RegisterStatusNotifierItem(const QString& service) {
        const bool isPath = service.startsWith('/');
        itemService = isPath ? message().service() : service;
        itemPath = isPath ? service : QStringLiteral("/StatusNotifierItem");
        registered << itemService + itemPath;
        Say("item " + itemService + " " + itemPath);
        emit StatusNotifierItemRegistered(itemService + itemPath);
    }
    void RegisterStatusNotifierHost(const QString&) {}

  signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();
};

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    using QObject::QObject;
    uint lastId = 0;

  public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int /*timeout*/) {
        const uint id = replaces != 0 ? replaces : ++lastId;
        Say(QStringLiteral("notify %1 %2|%3|%4|%5|%6|%7|%8|%9")
                .arg(id)
                .arg(replaces)
                .arg(app, icon, summary, body, actions.join(','),
                     hints.value("desktop-entry").toString(), hints.value("category").toString()));
        return id;
    }
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }
    QStringList GetCapabilities() { return {"actions", "body"}; }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = "lw52 tests";
        version = "1";
        specVersion = "1.2";
        return "lw52-desktop-standin";
    }

  signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& key);
};

namespace {

using Layout = std::vector<std::pair<int, QString>>;

// One (ia{sv}av) menu entry and, depth first, its children.
void ReadLayout(const QDBusArgument& arg, Layout& out) {
    int id = 0;
    QVariantMap properties;
    arg.beginStructure();
    arg >> id >> properties;
    if (properties.value("type").toString() != "separator")
        out.emplace_back(id, properties.value("label").toString());
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        ReadLayout(child.variant().value<QDBusArgument>(), out);
    }
    arg.endArray();
    arg.endStructure();
}

// The tooltip's title from its (sa(iiay)ss).
QString ToolTipTitle(const QVariant& value) {
    const QDBusArgument arg = value.value<QDBusArgument>();
    QString icon, title, text;
    arg.beginStructure();
    arg >> icon;
    arg.beginArray();
    while (!arg.atEnd()) {
        int w = 0, h = 0;
        QByteArray pixels;
        arg.beginStructure();
        arg >> w >> h >> pixels;
        arg.endStructure();
    }
    arg.endArray();
    arg >> title >> text;
    arg.endStructure();
    return title;
}

class Shell {
  public:
    Shell(QDBusConnection bus, Watcher& watcher, Notifications& notifications)
        : m_bus(std::move(bus)), m_watcher(watcher), m_notifications(notifications) {}

    void Command(const QString& line) {
        if (line == "activate") {
            Call(ItemCall("org.kde.StatusNotifierItem", "Activate", {0, 0}),
                 [](const QDBusMessage&) { Say("activated"); });
        } else if (line == "props") {
            Call(ItemCall("org.freedesktop.DBus.Properties", "GetAll",
                          {QStringLiteral("org.kde.StatusNotifierItem")}),
                 [](const QDBusMessage& reply) {
                     const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().value(0));
                     Say("props Id=" + p.value("Id").toString() + " Title=" +
                         p.value("Title").toString() + " Status=" + p.value("Status").toString() +
                         " Category=" + p.value("Category").toString() +
                         " ToolTip=" + ToolTipTitle(p.value("ToolTip")));
                 });
        } else if (line == "menu") {
            WithMenu([](const Layout& layout) {
                QStringList entries;
                for (const auto& [id, label] : layout)
                    if (!label.isEmpty()) entries << label;
                Say("menu " + entries.join('|'));
            });
        } else if (line.startsWith("click ")) {
            const QString label = line.mid(6);
            WithMenu([this, label](const Layout& layout) {
                for (const auto& [id, text] : layout) {
                    if (text != label) continue;
                    QDBusMessage event = QDBusMessage::createMethodCall(
                        m_watcher.itemService, m_menuPath, "com.canonical.dbusmenu", "Event");
                    event << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
                          << uint(0);
                    Call(event, [](const QDBusMessage&) { Say("clicked"); });
                    return;
                }
                Say("error no entry " + label);
            });
        } else if (line.startsWith("invoke ")) {
            const QStringList parts = line.split(' ');
            emit m_notifications.ActionInvoked(parts.value(1).toUInt(), parts.value(2));
            Say("invoked");
        } else if (line == "drop-tray") {
            m_bus.unregisterService("org.kde.StatusNotifierWatcher");
            Say("dropped");
        } else {
            Say("error unknown command");
        }
    }

  private:
    QDBusMessage ItemCall(const QString& interface, const QString& method,
                          const QVariantList& args) const {
        QDBusMessage call = QDBusMessage::createMethodCall(m_watcher.itemService,
                                                           m_watcher.itemPath, interface, method);
        call.setArguments(args);
        return call;
    }
    // Asynchronous: the item lives in the test's UI thread, which must keep running.
    void Call(const QDBusMessage& call, std::function<void(const QDBusMessage&)> done) {
        if (m_watcher.itemService.isEmpty()) {
            Say("error no item");
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 10000));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                         [done](QDBusPendingCallWatcher* w) {
                             w->deleteLater();
                             const QDBusMessage reply = w->reply();
                             if (reply.type() == QDBusMessage::ErrorMessage)
                                 Say("error " + reply.errorMessage());
                             else
                                 done(reply);
                         });
    }
    // The menu's path from the item, then its whole layout.
    void WithMenu(std::function<void(const Layout&)> use) {
        Call(ItemCall("org.freedesktop.DBus.Properties", "Get",
                      {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")}),
             [this, use](const QDBusMessage& reply) {
                 m_menuPath = qdbus_cast<QDBusObjectPath>(
                                  reply.arguments().value(0).value<QDBusVariant>().variant())
                                  .path();
                 QDBusMessage layout = QDBusMessage::createMethodCall(
                     m_watcher.itemService, m_menuPath, "com.canonical.dbusmenu", "GetLayout");
                 layout << 0 << -1 << QStringList();
                 Call(layout, [use](const QDBusMessage& answer) {
                     Layout entries;
                     ReadLayout(answer.arguments().value(1).value<QDBusArgument>(), entries);
                     use(entries);
                 });
             });
    }

    QDBusConnection m_bus;
    Watcher& m_watcher;
    Notifications& m_notifications;
    QString m_menuPath;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool tray = !app.arguments().contains("--no-tray");
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    Notifications notifications;
    const auto exportAll = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                           QDBusConnection::ExportAllProperties;
    bool ok = bus.registerObject("/org/freedesktop/Notifications", &notifications, exportAll) &&
              bus.registerService("org.freedesktop.Notifications");
    if (tray)
        ok = ok && bus.registerObject("/StatusNotifierWatcher", &watcher, exportAll) &&
             bus.registerService("org.kde.StatusNotifierWatcher");
    if (!ok) {
        fprintf(stderr, "cannot register on the session bus\n");
        return 1;
    }
    Shell shell(bus, watcher, notifications);
    StandInConsole console(
        [&](const std::string& line) { shell.Command(QString::fromStdString(line)); });
    Say("ready");
    return app.exec();
}

#include "DesktopStandIn.moc"
