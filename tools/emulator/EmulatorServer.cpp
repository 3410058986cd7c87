#include "EmulatorServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "HidReportDescriptor.h"
#include "Log.h"
#include "VirtualHid.h"

namespace lw52::emu {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

sockaddr* AsSockaddr(sockaddr_un& addr) {
    return reinterpret_cast<sockaddr*>(&addr);
}

// A socket file left by a card that died without cleaning up refuses connections.
bool IsStaleSocket(const std::string& path) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) return false;
    const int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool refused =
        connect(probe, AsSockaddr(addr), sizeof addr) != 0 && errno == ECONNREFUSED;
    close(probe);
    return refused;
}

const char* NoteFor(HostFrameResult result) {
    switch (result) {
        case HostFrameResult::kAckTaken:
            return "ack";
        case HostFrameResult::kBadChecksum:
            return "bad checksum";
        case HostFrameResult::kBadLength:
            return "bad length";
        case HostFrameResult::kUnknownCommand:
            return "unknown command";
        case HostFrameResult::kReplied:
            break;
    }
    return nullptr;
}

// Meter values that sweep 0..9..0, the two channels out of phase.
int Sweep(int step) {
    const int x = step % 18;
    return x <= 9 ? x : 18 - x;
}

}  // namespace

CEmulatorServer::CEmulatorServer(const CardConfig& config)
    : m_model(config), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CEmulatorServer::~CEmulatorServer() {
    Stop();
    if (m_wakeFd >= 0) close(m_wakeFd);
}

bool CEmulatorServer::OpenTrace(const std::string& path) {
    return m_trace.Open(path);
}

bool CEmulatorServer::Start(const std::string& dir, const std::string& instance) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running) return false;
    }
    if (instance.empty() || instance.find_first_of("#/") != std::string::npos) {
        QV_LOG("bad instance name '%s'", instance.c_str());
        return false;
    }
    if (!vhid::EnsureVirtualDeviceDir(dir)) {
        QV_LOG("cannot create %s: %s", dir.c_str(), strerror(errno));
        return false;
    }
    m_dir = dir;
    m_socketPath =
        dir + "/" + vhid::VirtualDeviceName(kVendorId, m_model.Config().productId, instance);
    sockaddr_un addr;
    if (!FillAddress(m_socketPath, addr)) {
        QV_LOG("socket path too long: %s", m_socketPath.c_str());
        return false;
    }
    if (m_wakeFd < 0 || !CreateListener()) return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = true;
    }
    m_trace.Event("start", m_socketPath);
    m_thread = std::thread(&CEmulatorServer::Loop, this);
    return true;
}

void CEmulatorServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running) return;
        m_running = false;
    }
    Wake();
    m_thread.join();
    if (m_clientFd >= 0) DropClient("disconnect");
    RemoveListener();
    std::deque<Work> unfinished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unfinished.swap(m_work);
    }
    for (Work& work : unfinished) work.done.set_value(false);
    m_trace.Event("stop");
}

bool CEmulatorServer::CreateListener() {
    struct stat st {};
    if (lstat(m_socketPath.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || !IsStaleSocket(m_socketPath)) {
            QV_LOG("%s is in use", m_socketPath.c_str());
            return false;
        }
        unlink(m_socketPath.c_str());
    }
    // Bound and listening under a hidden name first, so the device's file never exists
    // without accepting connections.
    static std::atomic<unsigned> s_serial{0};
    const std::string hidden =
        m_dir + "/.lw52-" + std::to_string(getpid()) + "-" + std::to_string(++s_serial);
    sockaddr_un addr;
    if (!FillAddress(hidden, addr)) return false;
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    unlink(hidden.c_str());
    if (bind(fd, AsSockaddr(addr), sizeof addr) != 0 || listen(fd, 4) != 0 ||
        rename(hidden.c_str(), m_socketPath.c_str()) != 0) {
        QV_LOG("cannot create %s: %s", m_socketPath.c_str(), strerror(errno));
        unlink(hidden.c_str());
        close(fd);
        return false;
    }
    m_listenFd = fd;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plugged = true;
    return true;
}

void CEmulatorServer::RemoveListener() {
    if (m_listenFd < 0) return;
    unlink(m_socketPath.c_str());
    close(m_listenFd);
    m_listenFd = -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plugged = false;
}

void CEmulatorServer::Wake() {
    const uint64_t one = 1;
    ssize_t ignored = write(m_wakeFd, &one, sizeof one);
    (void)ignored;
}

bool CEmulatorServer::RunOnLoop(std::function<bool()> work) {
    std::future<bool> result;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running) return false;
        m_work.push_back(Work{std::move(work), std::promise<bool>()});
        result = m_work.back().done.get_future();
    }
    Wake();
    return result.get();
}

void CEmulatorServer::Loop() {
    for (;;) {
        pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}};
        if (m_listenFd >= 0) fds[1] = {m_listenFd, POLLIN, 0};
        if (m_clientFd >= 0) {
            const short events = m_clientWantsWrite ? POLLIN | POLLOUT : POLLIN;
            fds[2] = {m_clientFd, events, 0};
        }
        // On an error (EINTR, or a transient ENOMEM) the revents stay 0: just go round again.
        if (poll(fds, 3, PollTimeoutMs(Clock::now())) < 0 && errno != EINTR)
            QV_LOG("poll: %s", strerror(errno));
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            ssize_t ignored = read(m_wakeFd, &count, sizeof count);
            (void)ignored;
        }
        std::deque<Work> work;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_running) break;
            work.swap(m_work);
        }
        if (!work.empty()) {
            // The work may have closed the descriptors polled above: poll again.
            for (Work& item : work) item.done.set_value(item.run());
            continue;
        }
        // The host's reports and hang-up first: a host that let go and connected again at
        // once must find the card free, not busy with its own closed connection.
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) ReadClient();
        if (fds[1].revents & POLLIN) AcceptClient();
        if (m_clientFd >= 0 && (fds[2].revents & POLLOUT)) m_clientWantsWrite = false;
        const Clock::time_point now = Clock::now();
        TickLevels(now);
        FlushDue(now);
    }
}

int CEmulatorServer::PollTimeoutMs(Clock::time_point now) {
    if (m_clientFd < 0) return -1;
    Clock::time_point next = Clock::time_point::max();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_outgoing.empty() && !m_clientWantsWrite) next = m_outgoing.begin()->first;
        if (m_levelsHz > 0) next = std::min(next, m_nextLevels);
    }
    if (next == Clock::time_point::max()) return -1;
    if (next <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<int64_t>(wait, 60000));
}

void CEmulatorServer::AcceptClient() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (m_clientFd >= 0) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_busyRejects;
            }
            m_trace.Event("busy");
            close(fd);  // one host at a time: the next one sees the device busy
            continue;
        }
        const int n = m_model.PacketSize();
        const std::vector<uint8_t> descriptor = MakeVendorReportDescriptor(n, n);
        if (send(fd, descriptor.data(), descriptor.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(descriptor.size())) {
            close(fd);
            m_trace.Event("connect-failed", strerror(errno));
            continue;
        }
        m_clientFd = fd;
        m_clientWantsWrite = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_hasClient = true;
            ++m_connections;
            m_outgoing.clear();
            m_nextLevels = Clock::now();
        }
        m_trace.Event("connect");
    }
}

void CEmulatorServer::ReadClient() {
    uint8_t packet[512];
    while (m_clientFd >= 0) {
        const ssize_t got = recv(m_clientFd, packet, sizeof packet, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            DropClient("disconnect");
            return;
        }
        // Reports carry id 0 before the data; anything else is not a report of this card.
        const bool wellFormed = packet[0] == 0;
        std::vector<Frame> replies;
        const HostFrameResult result = m_model.HandleHostReport(
            packet + 1, wellFormed ? static_cast<int>(got - 1) : -1, replies);
        if (wellFormed)
            m_trace.Frame("in", packet + 1, static_cast<size_t>(got - 1), NoteFor(result));
        else
            m_trace.Frame("in", packet, static_cast<size_t>(got), "report id not 0");
        if (m_model.TakeUnplugRequest()) {
            DoUnplug();
            return;
        }
        const Clock::time_point due =
            Clock::now() + std::chrono::milliseconds(m_model.ReplyDelayMs());
        for (Frame& reply : replies) QueueFrame(std::move(reply), due);
    }
}

void CEmulatorServer::DropClient(const char* event) {
    close(m_clientFd);
    m_clientFd = -1;
    m_clientWantsWrite = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hasClient = false;
        m_outgoing.clear();
    }
    m_trace.Event(event);
}

// The file goes first: a host that sees its connection end finds the device gone.
void CEmulatorServer::DoUnplug() {
    RemoveListener();
    if (m_clientFd >= 0) DropClient("disconnect");
    m_trace.Event("unplug", m_socketPath);
}

void CEmulatorServer::FlushDue(Clock::time_point now) {
    while (m_clientFd >= 0 && !m_clientWantsWrite) {
        Clock::time_point due;
        Frame frame;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_outgoing.empty() || m_outgoing.begin()->first > now) return;
            due = m_outgoing.begin()->first;
            frame = std::move(m_outgoing.begin()->second);
            m_outgoing.erase(m_outgoing.begin());
        }
        if (send(m_clientFd, frame.data(), frame.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(frame.size())) {
            m_trace.Frame("out", frame.data(), frame.size());
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_clientWantsWrite = true;  // the host is not reading: resume on POLLOUT
            std::lock_guard<std::mutex> lock(m_mutex);
            m_outgoing.emplace_hint(m_outgoing.begin(), due, std::move(frame));
        } else {
            DropClient("disconnect");
        }
    }
}

void CEmulatorServer::TickLevels(Clock::time_point now) {
    int hz;
    Clock::time_point next;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hz = m_levelsHz;
        next = m_nextLevels;
    }
    if (m_clientFd < 0 || hz <= 0 || now < next) return;
    const auto period = std::chrono::microseconds(1000000 / hz);
    next += period;
    if (next <= now) next = now + period;  // fell behind: no burst to catch up
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nextLevels = next;
    }
    ++m_levelsStep;
    QueueFrame(m_model.MakeLevels(Sweep(m_levelsStep), Sweep(m_levelsStep + 5)), now);
}

SendResult CEmulatorServer::QueueFrame(Frame frame, Clock::time_point due) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_hasClient) return SendResult::kNoClient;
        m_outgoing.emplace(due, std::move(frame));
    }
    Wake();
    return SendResult::kSent;
}

void CEmulatorServer::SetLevelsRate(int hz) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_levelsHz = std::clamp(hz, 0, 1000);
        m_nextLevels = Clock::now();
    }
    Wake();
}

SendResult CEmulatorServer::SendLevels(int mic, int acc) {
    return QueueFrame(m_model.MakeLevels(mic, acc), Clock::now());
}

SendResult CEmulatorServer::TurnKnobs(const std::vector<ParamEntry>& entries) {
    Frame frame;
    if (!m_model.MakeDeviceChange(entries, frame)) return SendResult::kInvalid;
    return QueueFrame(std::move(frame), Clock::now());
}

SendResult CEmulatorServer::Inject(const Frame& frame) {
    if (frame.size() != static_cast<size_t>(m_model.PacketSize())) return SendResult::kInvalid;
    return QueueFrame(frame, Clock::now());
}

bool CEmulatorServer::Unplug() {
    return RunOnLoop([this] {
        if (m_listenFd < 0) return false;
        DoUnplug();
        return true;
    });
}

bool CEmulatorServer::Plug() {
    return RunOnLoop([this] {
        if (m_listenFd >= 0 || !CreateListener()) return false;
        m_trace.Event("plug", m_socketPath);
        return true;
    });
}

bool CEmulatorServer::IsPlugged() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

bool CEmulatorServer::HasClient() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasClient;
}

int CEmulatorServer::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

int CEmulatorServer::BusyRejects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_busyRejects;
}

}  // namespace lw52::emu
