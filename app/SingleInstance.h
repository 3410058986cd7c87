#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>
#include <memory>

// One running program per user: the first start holds a lock file and listens on a local
// socket; a later start finds the lock taken, asks the first to show its main window and
// exits.
class CSingleInstance {
  public:
    explicit CSingleInstance(const QString& key);
    ~CSingleInstance();

    // True when this is the first instance (it then listens for later starts).
    bool Claim();
    // From a later start: asks the running one to show itself. True when it answered.
    bool NotifyRunning(int timeoutMs = 3000);
    // Called on the first instance when a later start asks.
    std::function<void()> onShowRequest;

  private:
    QString m_lockPath;
    QString m_serverName;
    int m_lockFd = -1;
    std::unique_ptr<QLocalServer> m_server;
};
