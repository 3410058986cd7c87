#include "UhidTransport.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "HidReportDescriptor.h"
#include "Log.h"

namespace lw52::emu {
namespace {

// Events read in one go before the server gets to send again; the kernel keeps a short
// queue of them for us and drops events when it is full, so take what is there.
constexpr int kEventsPerPoll = 64;

template <size_t N>
void CopyText(uint8_t (&field)[N], const std::string& text) {
    snprintf(reinterpret_cast<char*>(field), N, "%s", text.c_str());
}

int ConnectStandIn(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

CUhidTransport::CUhidTransport(std::string devicePath, const CardConfig& config, std::string uniq)
    : m_devicePath(std::move(devicePath)),
      m_config(config),
      m_uniq(std::move(uniq)),
      m_descriptor(MakeVendorReportDescriptor(config.packetSize, config.packetSize)) {}

CUhidTransport::~CUhidTransport() {
    if (m_fd < 0) return;
    if (m_created) {
        auto event = std::make_unique<uhid_event>();
        event->type = UHID_DESTROY;
        WriteEvent(*event);
    }
    close(m_fd);  // the kernel would destroy the device here anyway
}

bool CUhidTransport::Open(std::string& error) {
    if (m_fd >= 0) return true;
    struct stat st {};
    m_isSocket = stat(m_devicePath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    m_fd =
        m_isSocket ? ConnectStandIn(m_devicePath) : open(m_devicePath.c_str(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0) {
        error = m_devicePath + ": " + strerror(errno);
        return false;
    }
    return true;
}

std::string CUhidTransport::Address() const {
    char text[32];
    snprintf(text, sizeof text, "uhid %04X:%04X", kVendorId, m_config.productId);
    return text;
}

bool CUhidTransport::Plug() {
    if (m_fd < 0 || m_created) return false;
    if (m_descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) return false;
    auto event = std::make_unique<uhid_event>();  // zeroed
    event->type = UHID_CREATE2;
    uhid_create2_req& create = event->u.create2;
    CopyText(create.name, kDeviceName);
    CopyText(create.phys, "lw52-emulator");
    CopyText(create.uniq, m_uniq);
    create.rd_size = static_cast<uint16_t>(m_descriptor.size());
    create.bus = BUS_USB;
    create.vendor = kVendorId;
    create.product = m_config.productId;
    std::copy(m_descriptor.begin(), m_descriptor.end(), create.rd_data);
    m_started = false;
    if (!WriteEvent(*event)) {
        QV_LOG("uhid: cannot create the device: %s", strerror(errno));
        return false;
    }
    m_created = true;
    return true;
}

// The host is let go before the kernel hears of it: whoever sees the node go finds the card
// already without a host.
void CUhidTransport::Unplug() {
    if (!m_created) return;
    m_created = false;
    m_started = false;
    Disconnect();
    auto event = std::make_unique<uhid_event>();
    event->type = UHID_DESTROY;
    if (!WriteEvent(*event)) QV_LOG("uhid: cannot destroy the device: %s", strerror(errno));
}

void CUhidTransport::Disconnect() {
    if (!m_opened) return;
    m_opened = false;
    m_events->OnHostDisconnected();
}

void CUhidTransport::AddPollFds(std::vector<pollfd>& fds) const {
    fds.push_back({m_fd, POLLIN, 0});
}

void CUhidTransport::HandlePoll(const pollfd* fds) {
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) return;
    for (int i = 0; i < kEventsPerPoll; ++i)
        if (!ReadEvent() || !Readable()) return;
}

bool CUhidTransport::Readable() const {
    if (m_fd < 0) return false;
    pollfd pfd{m_fd, POLLIN, 0};
    return poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR));
}

bool CUhidTransport::ReadEvent() {
    if (m_fd < 0) return false;
    // A kernel with a shorter event struct writes less: the rest reads as zeros.
    auto event = std::make_unique<uhid_event>();
    const ssize_t got = m_isSocket ? recv(m_fd, event.get(), sizeof *event, 0)
                                   : read(m_fd, event.get(), sizeof *event);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    if (got <= 0) {
        Fail(got == 0 ? "closed" : strerror(errno));
        return false;
    }
    if (static_cast<size_t>(got) >= sizeof event->type) HandleEvent(*event);
    return true;
}

void CUhidTransport::HandleEvent(const uhid_event& event) {
    switch (event.type) {
        case UHID_START:
            if (m_created) m_started = true;
            m_events->OnTransportEvent("uhid-start", std::string());
            break;
        case UHID_STOP:
            m_started = false;
            Disconnect();
            m_events->OnTransportEvent("uhid-stop", std::string());
            break;
        case UHID_OPEN:
            if (m_created && m_started && !m_opened) {
                m_opened = true;
                m_events->OnHostConnected();
            }
            break;
        case UHID_CLOSE:
            Disconnect();
            break;
        case UHID_OUTPUT: {
            // Reports a host wrote to a device destroyed since are lost with it.
            if (!m_created) break;
            const size_t size = std::min<size_t>(event.u.output.size, UHID_DATA_MAX);
            m_events->OnHostReport(event.u.output.data, size);
            break;
        }
        case UHID_GET_REPORT:
            RefuseReport(UHID_GET_REPORT_REPLY, event.u.get_report.id, "get-report");
            break;
        case UHID_SET_REPORT:
            RefuseReport(UHID_SET_REPORT_REPLY, event.u.set_report.id, "set-report");
            break;
        default:
            break;
    }
}

// The card has no feature reports; an answer at once spares the caller the kernel's timeout.
void CUhidTransport::RefuseReport(uint32_t replyType, uint32_t id, const char* what) {
    auto reply = std::make_unique<uhid_event>();
    reply->type = replyType;
    if (replyType == UHID_GET_REPORT_REPLY) {
        reply->u.get_report_reply.id = id;
        reply->u.get_report_reply.err = EIO;
    } else {
        reply->u.set_report_reply.id = id;
        reply->u.set_report_reply.err = EIO;
    }
    if (!WriteEvent(*reply)) QV_LOG("uhid: cannot answer a %s: %s", what, strerror(errno));
    m_events->OnTransportEvent(what, "refused");
}

SendStatus CUhidTransport::Send(const Frame& frame) {
    if (!m_created || frame.size() > UHID_DATA_MAX) return SendStatus::kFailed;
    auto event = std::make_unique<uhid_event>();
    event->type = UHID_INPUT2;
    event->u.input2.size = static_cast<uint16_t>(frame.size());
    std::copy(frame.begin(), frame.end(), event->u.input2.data);
    if (WriteEvent(*event)) return SendStatus::kSent;
    const std::string why = strerror(errno);
    QV_LOG("uhid: input report lost: %s", why.c_str());
    m_events->OnTransportEvent("send-failed", why);
    return SendStatus::kFailed;
}

bool CUhidTransport::WriteEvent(const uhid_event& event) {
    for (;;) {
        const ssize_t put = m_isSocket ? send(m_fd, &event, sizeof event, MSG_NOSIGNAL)
                                       : write(m_fd, &event, sizeof event);
        if (put == static_cast<ssize_t>(sizeof event)) return true;
        if (put < 0 && errno == EINTR) continue;
        if (put >= 0) errno = EIO;
        return false;
    }
}

// The device file failed under us (the stand-in went away): the device is gone with it.
void CUhidTransport::Fail(const std::string& why) {
    QV_LOG("uhid: %s: %s", m_devicePath.c_str(), why.c_str());
    close(m_fd);
    m_fd = -1;
    m_created = false;
    m_started = false;
    Disconnect();
    m_events->OnTransportEvent("uhid-failed", why);
}

}  // namespace lw52::emu
