#include "EmulatorServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "HidReportDescriptor.h"
#include "Log.h"
#include "SocketTransport.h"
#include "VirtualHid.h"

namespace lw52::emu {
namespace {

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
    m_socketPath =
        dir + "/" + vhid::VirtualDeviceName(kVendorId, m_model.Config().productId, instance);
    if (m_socketPath.size() >= sizeof(sockaddr_un::sun_path)) {
        QV_LOG("socket path too long: %s", m_socketPath.c_str());
        return false;
    }
    const int n = m_model.PacketSize();
    return Start(
        std::make_unique<CSocketTransport>(dir, m_socketPath, MakeVendorReportDescriptor(n, n)));
}

bool CEmulatorServer::Start(std::unique_ptr<ICardTransport> transport) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running || !transport) return false;
    }
    transport->SetEvents(this);
    if (m_wakeFd < 0 || !transport->Plug()) return false;
    m_transport = std::move(transport);
    m_address = m_transport->Address();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = true;
        m_plugged = true;
    }
    m_trace.Event("start", m_address);
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
    std::deque<Work> unfinished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_plugged = false;
        unfinished.swap(m_work);
    }
    m_transport->Unplug();
    m_transport.reset();
    for (Work& work : unfinished) work.done.set_value(false);
    m_trace.Event("stop");
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
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign(1, pollfd{m_wakeFd, POLLIN, 0});
        m_transport->AddPollFds(fds);
        // On an error (EINTR, or a transient ENOMEM) the revents stay 0: just go round again.
        if (poll(fds.data(), fds.size(), PollTimeoutMs(Clock::now())) < 0 && errno != EINTR)
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
        m_transport->HandlePoll(fds.data() + 1);
        const Clock::time_point now = Clock::now();
        TickLevels(now);
        FlushDue(now);
    }
}

int CEmulatorServer::PollTimeoutMs(Clock::time_point now) {
    if (!HostConnected()) return -1;
    Clock::time_point next = Clock::time_point::max();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_outgoing.empty() && !m_transport->WantsWrite()) next = m_outgoing.begin()->first;
        if (m_levelsHz > 0) next = std::min(next, m_nextLevels);
    }
    if (next == Clock::time_point::max()) return -1;
    if (next <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<int64_t>(wait, 60000));
}

void CEmulatorServer::OnHostConnected() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hasClient = true;
        ++m_connections;
        m_outgoing.clear();
        m_nextLevels = Clock::now();
    }
    m_trace.Event("connect");
}

void CEmulatorServer::OnHostDisconnected() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hasClient = false;
        m_outgoing.clear();
    }
    m_trace.Event("disconnect");
}

void CEmulatorServer::OnHostRejected() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_busyRejects;
    }
    m_trace.Event("busy");
}

void CEmulatorServer::OnTransportEvent(const char* name, const std::string& detail) {
    m_trace.Event(name, detail);
}

void CEmulatorServer::OnHostReport(const uint8_t* report, size_t size) {
    // Reports carry id 0 before the data; anything else is not a report of this card.
    const bool wellFormed = size > 0 && report[0] == 0;
    std::vector<Frame> replies;
    const HostFrameResult result =
        m_model.HandleHostReport(report + 1, wellFormed ? static_cast<int>(size - 1) : -1, replies);
    if (wellFormed)
        m_trace.Frame("in", report + 1, size - 1, NoteFor(result));
    else
        m_trace.Frame("in", report, size, "report id not 0");
    if (m_model.TakeUnplugRequest()) {
        DoUnplug();
        return;
    }
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(m_model.ReplyDelayMs());
    for (Frame& reply : replies) QueueFrame(std::move(reply), due);
}

// Unplugged before the transport acts: a host that sees the device go finds it unplugged.
void CEmulatorServer::DoUnplug() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_plugged = false;
    }
    m_transport->Unplug();
    m_trace.Event("unplug", m_address);
}

void CEmulatorServer::FlushDue(Clock::time_point now) {
    while (HostConnected() && !m_transport->WantsWrite()) {
        Clock::time_point due;
        Frame frame;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_outgoing.empty() || m_outgoing.begin()->first > now) return;
            due = m_outgoing.begin()->first;
            frame = std::move(m_outgoing.begin()->second);
            m_outgoing.erase(m_outgoing.begin());
        }
        switch (m_transport->Send(frame)) {
            case SendStatus::kSent:
                m_trace.Frame("out", frame.data(), frame.size());
                break;
            case SendStatus::kBlocked: {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_outgoing.emplace_hint(m_outgoing.begin(), due, std::move(frame));
                break;
            }
            case SendStatus::kFailed:
                break;
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
    if (!HostConnected() || hz <= 0 || now < next) return;
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

SendResult CEmulatorServer::SendJunk(int count, int length) {
    if (count < 0 || length < 1 || length > m_model.PacketSize()) return SendResult::kInvalid;
    std::minstd_rand rng(static_cast<uint32_t>(count * 131 + length));
    SendResult result = SendResult::kSent;
    for (int i = 0; i < count && result == SendResult::kSent; ++i) {
        Frame frame(static_cast<size_t>(length));
        for (uint8_t& byte : frame) byte = static_cast<uint8_t>(rng());
        frame[0] = ReplyCode(CMD_SET_EFFECT_PARAMS);
        result = QueueFrame(std::move(frame), Clock::now());
    }
    return result;
}

bool CEmulatorServer::Unplug() {
    return RunOnLoop([this] {
        if (!m_transport->IsPlugged()) return false;
        DoUnplug();
        return true;
    });
}

bool CEmulatorServer::HangUp() {
    return RunOnLoop([this] {
        if (!m_transport->HangUp()) return false;
        m_trace.Event("hangup", m_address);
        return true;
    });
}

bool CEmulatorServer::Plug() {
    return RunOnLoop([this] {
        if (m_transport->IsPlugged() || !m_transport->Plug()) return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_plugged = true;
        }
        m_trace.Event("plug", m_address);
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
