#include "SessionWatcher.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

int g_signalPipe[2] = {-1, -1};  // SIGTERM is written here and read on the UI thread

void OnTerminate(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

CSessionWatcher::CSessionWatcher(QObject* parent) : QObject(parent) {}

CSessionWatcher::~CSessionWatcher() {
    ReleaseLock(m_delay);
    ReleaseLock(m_block);
    if (!m_busName.isEmpty()) QDBusConnection::disconnectFromBus(m_busName);
    if (m_signalNotifier) {
        std::signal(SIGTERM, SIG_DFL);
        m_signalNotifier.reset();
        close(g_signalPipe[0]);
        close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
}

void CSessionWatcher::Start() {
    if (!m_signalNotifier && g_signalPipe[0] < 0 &&
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) == 0) {
        m_signalNotifier =
            std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        connect(m_signalNotifier.get(), &QSocketNotifier::activated, this,
                [this] { OnSignalPipe(); });
        struct sigaction action {};
        action.sa_handler = OnTerminate;
        action.sa_flags = SA_RESTART;  // other threads' blocking calls are not interrupted
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
    }
    // A connection of its own, made afresh and closed with the watcher (the shared system bus
    // connection would outlive a bus that went away).
    static int s_count = 0;
    m_busName = QStringLiteral("lw52-session-%1").arg(++s_count);
    // The address is read here each time: the bus library reads it only once per process.
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    QDBusConnection bus = address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_busName)
                              : QDBusConnection::connectToBus(address, m_busName);
    if (!bus.isConnected()) return;
    m_onBus = bus.connect(kService, kPath, kManager, "PrepareForSleep", this,
                          SLOT(OnPrepareForSleep(bool))) &&
              bus.connect(kService, kPath, kManager, "PrepareForShutdown", this,
                          SLOT(OnPrepareForShutdown(bool)));
}

void CSessionWatcher::OnSignalPipe() {
    char bytes[16];
    bool terminate = false;
    while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) terminate = true;
    if (terminate) emit terminateRequested();
}

void CSessionWatcher::OnPrepareForSleep(bool starting) {
    emit sleepPreparing(starting);
}

void CSessionWatcher::OnPrepareForShutdown(bool starting) {
    if (starting)
        emit shutdownPreparing();
    else
        emit shutdownCancelled();
}

void CSessionWatcher::Hold(bool on) {
    SetLock(m_delay, on);
}

void CSessionWatcher::HoldForFirmware(bool on) {
    SetLock(m_block, on);
}

void CSessionWatcher::SetLock(Lock& lock, bool on) {
    if (on == lock.wanted) return;
    lock.wanted = on;
    const unsigned request = ++lock.request;
    if (!on) {
        ReleaseLock(lock);
        return;
    }
    if (!m_onBus) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
    call << QStringLiteral("sleep:shutdown") << QStringLiteral("LW52 control panel")
         << QString::fromUtf8(lock.why) << QString::fromUtf8(lock.mode);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection(m_busName).asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, &lock, request](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
                w->deleteLater();
                // Asked again since (or given back): this answer is not needed any more.
                if (reply.isError() || request != lock.request || !lock.wanted) return;
                const int fd = dup(reply.value().fileDescriptor());
                if (fd < 0) return;
                ReleaseLock(lock);
                lock.fd = fd;
                if (&lock == &m_delay) emit lockChanged(true);
            });
}

void CSessionWatcher::ReleaseLock(Lock& lock) {
    if (lock.fd < 0) return;
    close(lock.fd);  // closing the descriptor is what gives the lock back
    lock.fd = -1;
    if (&lock == &m_delay) emit lockChanged(false);
}
