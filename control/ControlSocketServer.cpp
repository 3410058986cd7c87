#include "ControlSocketServer.h"

#include <sys/stat.h>

#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <deque>

#include "LineSplitter.h"

namespace {
// Requests handled in one go before the event loop gets its turn again.
constexpr int kLinesPerTurn = 16;
// Stands for an overlong line in a client's queue (a request cannot start with a NUL byte).
const std::string kOverlong("\0overlong", 9);
}  // namespace

struct CControlSocketServer::Client {
    QPointer<QLocalSocket> socket;
    control::CLineSplitter splitter;
    std::deque<std::string> lines;
    size_t queuedBytes = 0;
    bool busy = false;       // a request of this client is running
    bool scheduled = false;  // a ProcessQueue is posted
    bool subscribed = false;
    bool levels = true;
    bool gone = false;
};

CControlSocketServer::CControlSocketServer(control::CControlService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(static_cast<int>(kMaxClients));
    connect(&m_server, &QLocalServer::newConnection, this, [this] { OnNewConnection(); });
    m_service.AddListener(this);
}

CControlSocketServer::~CControlSocketServer() {
    m_service.RemoveListener(this);
    const auto clients = m_clients;
    for (const auto& client : clients) Remove(client);
    m_server.close();
}

bool CControlSocketServer::Listen(const QString& path, QString* error) {
    QLocalServer::removeServer(path);
    if (!m_server.listen(path)) {
        if (error) *error = m_server.errorString();
        return false;
    }
    // The option above already keeps others out; the mode says so to anyone who looks.
    chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR);
    m_path = path;
    return true;
}

void CControlSocketServer::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (m_clients.size() >= kMaxClients) {
            socket->write(control::RefusalLine(Json::Value(), "too many clients (at most " +
                                                                  std::to_string(kMaxClients) + ")")
                              .append("\n")
                              .c_str());
            socket->disconnectFromServer();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        auto client = std::make_shared<Client>();
        client->socket = socket;
        // Qt reads no more than this ahead of us: a flooding client waits in its socket.
        socket->setReadBufferSize(256 * 1024);
        m_clients.push_back(client);
        std::weak_ptr<Client> weak = client;
        connect(socket, &QLocalSocket::readyRead, this, [this, weak] {
            if (auto c = weak.lock()) ReadMore(c);
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, weak] {
            if (auto c = weak.lock()) Remove(c);
        });
        if (socket->bytesAvailable() > 0) ReadMore(client);
    }
}

void CControlSocketServer::ReadMore(const std::shared_ptr<Client>& client) {
    QLocalSocket* socket = client->socket;
    if (client->gone || !socket) return;
    char chunk[16384];
    while (client->lines.size() < kMaxQueuedLines && client->queuedBytes < kMaxQueuedBytes &&
           socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(chunk, sizeof chunk);
        if (n <= 0) break;
        client->splitter.Feed(
            std::string_view(chunk, static_cast<size_t>(n)),
            [&](std::string_view line) {
                // Blank lines between requests are no requests.
                if (line.find_first_not_of(" \t") == std::string_view::npos) return;
                client->queuedBytes += line.size();
                client->lines.emplace_back(line);
            },
            [&] { client->lines.push_back(kOverlong); });
    }
    ScheduleQueue(client);
}

void CControlSocketServer::ScheduleQueue(const std::shared_ptr<Client>& client) {
    if (client->scheduled || client->gone) return;
    client->scheduled = true;
    QTimer::singleShot(0, this, [this, weak = std::weak_ptr<Client>(client)] {
        if (auto c = weak.lock()) ProcessQueue(c);
    });
}

void CControlSocketServer::ProcessQueue(const std::shared_ptr<Client>& client) {
    client->scheduled = false;
    for (int handled = 0; !client->gone && !client->busy && !client->lines.empty(); ++handled) {
        if (handled == kLinesPerTurn) {
            // Many requests at once: the rest after the event loop had its turn.
            ScheduleQueue(client);
            return;
        }
        const std::string line = std::move(client->lines.front());
        client->lines.pop_front();
        client->queuedBytes -= std::min(client->queuedBytes, line.size());
        Handle(client, line);
    }
    // Room in the queue again: what the client sent meanwhile waits in its socket.
    if (!client->gone && !client->busy && client->lines.empty() && client->socket &&
        client->socket->bytesAvailable() > 0)
        ReadMore(client);
}

void CControlSocketServer::Handle(const std::shared_ptr<Client>& client, const std::string& line) {
    if (line == kOverlong) {
        Send(client, control::RefusalLine(Json::Value(),
                                          "request too long (at most " +
                                              std::to_string(control::kMaxLineBytes) + " bytes)"));
        return;
    }
    control::Request request;
    std::string error;
    if (!control::ParseRequest(line, request, error)) {
        Send(client, control::RefusalLine(request.id, error));
        return;
    }
    if (request.op == control::Op::kSubscribe) {
        client->subscribed = true;
        client->levels = request.levels;
        Send(client, control::AnswerLine(request.id, m_service.Target().WatchState()));
        return;
    }
    client->busy = true;
    std::weak_ptr<Client> weak = client;
    const Json::Value id = request.id;
    control::Reply reply;
    reply.progress = [this, weak, id](const Json::Value& data) {
        auto c = weak.lock();
        if (!c || c->gone) return;
        Json::Value event = data;
        event["request"] = id;
        Send(c, control::EventLine("progress", event));
    };
    reply.done = [this, weak, id](bool ok, const Json::Value& result, const std::string& why) {
        auto c = weak.lock();
        if (!c || c->gone) return;
        c->busy = false;
        if (Send(c, ok ? control::AnswerLine(id, result) : control::RefusalLine(id, why)))
            ScheduleQueue(c);  // the next request, from the event loop
    };
    m_service.Target().Execute(request, std::move(reply));
}

bool CControlSocketServer::Send(const std::shared_ptr<Client>& client, const std::string& line) {
    QLocalSocket* socket = client->socket;
    if (client->gone || !socket) return false;
    socket->write(line.data(), static_cast<qint64>(line.size()));
    socket->write("\n", 1);
    // Out now as far as the client takes it: a client that half-closes its end after its
    // request is dropped when that end closes, and must have its answer by then.
    socket->flush();
    if (socket->bytesToWrite() > kMaxUnsentBytes) {
        // It does not read what it is sent: waiting for it would hold the panel.
        Remove(client);
        return false;
    }
    return true;
}

bool CControlSocketServer::HasWatchers() const {
    return std::any_of(m_clients.begin(), m_clients.end(),
                       [](const auto& client) { return client->subscribed; });
}

void CControlSocketServer::OnControlEvent(const std::string& name, const Json::Value& data) {
    const std::string line = control::EventLine(name, data);
    const bool isLevels = name == "levels";
    const auto clients = m_clients;  // Send may drop one
    for (const auto& client : clients)
        if (client->subscribed && (client->levels || !isLevels)) Send(client, line);
}

void CControlSocketServer::Remove(const std::shared_ptr<Client>& client) {
    if (client->gone) return;
    client->gone = true;
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
    if (QLocalSocket* socket = client->socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}
