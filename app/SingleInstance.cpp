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
QString RuntimeDir() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}
}  // namespace

CSingleInstance::CSingleInstance(const QString& key)
    : m_lockPath(RuntimeDir() + "/" + key + ".lock"),
      m_serverName(key + "-" + QString::number(getuid())) {}

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
