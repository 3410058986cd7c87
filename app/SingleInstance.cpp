#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {
// The user's runtime folder; the shared temporary folder (names then carry the user id) only
// when there is none.
QString InstanceBase(const QString& key) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!dir.isEmpty()) return dir + "/" + key;
    return QDir::tempPath() + "/" + key + "-" + QString::number(getuid());
}
}  // namespace

// Lock and socket live side by side, so a program with another runtime folder (another
// session, a test) neither holds our lock nor answers on our socket.
CSingleInstance::CSingleInstance(const QString& key) {
    const QString base = InstanceBase(key);
    m_lockPath = base + ".lock";
    m_serverName = base + ".socket";
}

CSingleInstance::~CSingleInstance() {
    m_server.reset();
    if (m_lockFd >= 0) close(m_lockFd);  // releases the lock
}

bool CSingleInstance::Claim() {
    m_lockFd = open(QFile::encodeName(m_lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0 || flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) return false;
    // We hold the lock: any socket left under the name belongs to a program that died.
    QLocalServer::removeServer(m_serverName);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
                if (client->readAll().contains("show") && onShowRequest) onShowRequest();
                client->write("ok\n");
                client->flush();
                client->disconnectFromServer();
            });
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return m_server->listen(m_serverName) || true;  // no socket: still the only instance
}

bool CSingleInstance::NotifyRunning(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    // The first instance may still be starting: try until it listens or time runs out.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(200)) {
            socket.write("show\n");
            socket.waitForBytesWritten(1000);
            const bool answered = socket.waitForReadyRead(2000);
            return answered;
        }
        QThread::msleep(50);
    }
    return false;
}
