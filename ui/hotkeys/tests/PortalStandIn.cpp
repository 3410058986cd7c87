// lw52-portal-standin: a small stand-in for the desktop portal's global shortcuts on a private
// session bus (DBUS_SESSION_BUS_ADDRESS), for tests. It registers org.freedesktop.portal.Desktop
// with the GlobalShortcuts interface as the portal documents it: CreateSession and
// BindShortcuts answer with a request handle and then the Request's Response signal; a bind is
// confirmed with each preferred trigger as the trigger shown. Commands on stdin:
//   activate SHORTCUT_ID     emit Activated for the session's shortcut
//   refuse                   answer the next bind with response 2 (the user cancelled)
// It prints "ready" once registered and "bind ID TRIGGER DESCRIPTION" per bound shortcut.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>
#include <string>

#include "StandInConsole.h"

// One entry of a(sa{sv}); outside any unnamed namespace, so the slot's signature names the
// registered type.
struct Shortcut {
    QString id;
    QVariantMap properties;
};

Q_DECLARE_METATYPE(Shortcut)

QDBusArgument& operator<<(QDBusArgument& out, const Shortcut& s) {
    out.beginStructure();
    out << s.id << s.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, Shortcut& s) {
    in.beginStructure();
    in >> s.id >> s.properties;
    in.endStructure();
    return in;
}

namespace {
const auto Say = [](const QString& line) { StandInConsole::Say(line); };
}  // namespace

class Portal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

  public:
    using QObject::QObject;
    uint version() const { return 1; }
    QString session;
    QList<Shortcut> bound;
    bool refuseNext = false;

  public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        const QDBusObjectPath handle = RequestHandle(options);
        session = "/org/freedesktop/portal/desktop/session/" + Sender() + "/" +
                  options.value("session_handle_token").toString();
        QVariantMap results;
        results["session_handle"] = session;
        Respond(handle, 0, results);
        return handle;
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionHandle,
                                  const QList<Shortcut>& shortcuts, const QString&,
                                  const QVariantMap& options) {
        const QDBusObjectPath handle = RequestHandle(options);
        if (sessionHandle.path() != session || refuseNext) {
            refuseNext = false;
            Respond(handle, 2, {});
            return handle;
        }
        bound.clear();
        for (Shortcut s : shortcuts) {
            const QString trigger = s.properties.value("preferred_trigger").toString();
            Say("bind " + s.id + " " + (trigger.isEmpty() ? "-" : trigger) + " " +
                s.properties.value("description").toString());
            s.properties["trigger_description"] = trigger;
            bound.push_back(s);
        }
        QVariantMap results;
        results["shortcuts"] = QVariant::fromValue(bound);
        Respond(handle, 0, results);
        return handle;
    }

  private:
    QString Sender() const {
        QString sender = message().service();
        return sender.remove(0, 1).replace('.', '_');
    }
    QDBusObjectPath RequestHandle(const QVariantMap& options) const {
        return QDBusObjectPath("/org/freedesktop/portal/desktop/request/" + Sender() + "/" +
                               options.value("handle_token").toString());
    }
    // After the method's own reply, as the portal answers.
    void Respond(const QDBusObjectPath& handle, uint response, const QVariantMap& results) {
        QTimer::singleShot(0, this, [handle, response, results] {
            QDBusMessage signal = QDBusMessage::createSignal(
                handle.path(), "org.freedesktop.portal.Request", "Response");
            signal << response << results;
            QDBusConnection::sessionBus().send(signal);
        });
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    Portal portal;
    if (!bus.registerObject(
            "/org/freedesktop/portal/desktop", &portal,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService("org.freedesktop.portal.Desktop")) {
        fprintf(stderr, "cannot register on the session bus\n");
        return 1;
    }
    auto command = [&](const std::string& line) {
        if (line.rfind("activate ", 0) == 0) {
            QDBusMessage signal =
                QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                           "org.freedesktop.portal.GlobalShortcuts", "Activated");
            signal << QVariant::fromValue(QDBusObjectPath(portal.session))
                   << QString::fromStdString(line.substr(9))
                   << static_cast<qulonglong>(QDateTime::currentMSecsSinceEpoch()) << QVariantMap();
            bus.send(signal);
            Say("activated");
        } else if (line == "refuse") {
            portal.refuseNext = true;
            Say("ok");
        }
    };
    StandInConsole console(command);
    Say("ready");
    return app.exec();
}

#include "PortalStandIn.moc"
