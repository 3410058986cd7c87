// lw52-logind-standin: a small stand-in for the login manager on a private bus, for tests.
// Registers org.freedesktop.login1 at /org/freedesktop/login1 on the bus DBUS_SYSTEM_BUS_ADDRESS
// names, answers Inhibit with a lock descriptor, and takes commands on stdin:
//   sleep 1 | sleep 0      emit PrepareForSleep(true | false)
//   shutdown 1             emit PrepareForShutdown(true)
// It prints "ready" once registered, "inhibit WHAT MODE" for each lock handed out and
// "released WHAT" when its holder closes the lock, one line each.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <cstdio>
#include <string>

#include "StandInConsole.h"

namespace {
const auto Say = [](const std::string& line) { StandInConsole::Say(line); };
}  // namespace

class LoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    using QObject::QObject;

  public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who,
                                                 const QString& why, const QString& mode) {
        (void)who;
        (void)why;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return {};
        Say("inhibit " + what.toStdString() + " " + mode.toStdString());
        // The lock lasts until every copy of the write end is closed: the reader then sees EOF.
        auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
        const std::string name = what.toStdString();
        connect(notifier, &QSocketNotifier::activated, this, [notifier, fds, name] {
            char byte;
            if (read(fds[0], &byte, 1) > 0) return;
            notifier->setEnabled(false);
            close(fds[0]);
            Say("released " + name);
            notifier->deleteLater();
        });
        QDBusUnixFileDescriptor lock(fds[1]);  // a duplicate travels; ours is closed now
        close(fds[1]);
        return lock;
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    LoginManager manager;
    if (!bus.isConnected() ||
        !bus.registerObject("/org/freedesktop/login1", &manager,
                            QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService("org.freedesktop.login1")) {
        fprintf(stderr, "lw52-logind-standin: cannot register on the bus\n");
        return 1;
    }
    StandInConsole console([&](const std::string& line) {
        const size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const bool value = space != std::string::npos && line.substr(space + 1) == "1";
        const char* member = command == "sleep"      ? "PrepareForSleep"
                             : command == "shutdown" ? "PrepareForShutdown"
                                                     : nullptr;
        if (!member) {
            Say("error: unknown command " + command);
            return;
        }
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                         "org.freedesktop.login1.Manager", member);
        signal << value;
        Say(bus.send(signal) ? "sent " + line : "error: not sent");
    });
    Say("ready");
    return QCoreApplication::exec();
}

#include "LogindStandIn.moc"
