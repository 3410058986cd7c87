#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "ControlService.h"

class QLocalSocket;

// The control interface on a local socket in the user's runtime folder, reachable by this
// user only: one JSON request per line, one JSON answer per line, and the events of a
// subscription. A client's requests run one after another; a client that sends more than it
// lets the panel answer is read no further until it catches up, and one that does not read
// what it is sent is dropped, never waited for.
class CControlSocketServer : public QObject, public control::IEventListener {
  public:
    static constexpr size_t kMaxClients = 64;
    // Unsent answers and events a client may leave waiting before it is dropped.
    static constexpr qint64 kMaxUnsentBytes = 1 << 20;
    // Requests queued per client (and their bytes) before its socket is read no further.
    static constexpr size_t kMaxQueuedLines = 64;
    static constexpr size_t kMaxQueuedBytes = 256 * 1024;

    explicit CControlSocketServer(control::CControlService& service, QObject* parent = nullptr);
    ~CControlSocketServer() override;

    // Listens at path (an old socket there is replaced: the caller holds the single-instance
    // lock). False with error set when it cannot.
    bool Listen(const QString& path, QString* error = nullptr);
    size_t ClientCount() const { return m_clients.size(); }
    bool HasWatchers() const;
    QString Path() const { return m_path; }

    void OnControlEvent(const std::string& name, const Json::Value& data) override;

  private:
    struct Client;

    void OnNewConnection();
    void ReadMore(const std::shared_ptr<Client>& client);
    void ProcessQueue(const std::shared_ptr<Client>& client);
    // Requests run from the event loop, never inside the socket's own signal: an operation
    // that opens a nested loop must not find the socket's emission on its stack.
    void ScheduleQueue(const std::shared_ptr<Client>& client);
    void Handle(const std::shared_ptr<Client>& client, const std::string& line);
    // False when the client was dropped for not reading.
    bool Send(const std::shared_ptr<Client>& client, const std::string& line);
    void Remove(const std::shared_ptr<Client>& client);

    control::CControlService& m_service;
    QLocalServer m_server;
    QString m_path;
    std::vector<std::shared_ptr<Client>> m_clients;
};
