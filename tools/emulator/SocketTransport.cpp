#include "SocketTransport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "Log.h"

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

}  // namespace

CSocketTransport::CSocketTransport(std::string dir, std::string path,
                                   std::vector<uint8_t> descriptor)
    : m_dir(std::move(dir)), m_path(std::move(path)), m_descriptor(std::move(descriptor)) {}

CSocketTransport::~CSocketTransport() {
    RemoveListener();
    if (m_hostFd >= 0) close(m_hostFd);
}

bool CSocketTransport::Plug() {
    if (m_listenFd >= 0) return false;
    struct stat st {};
    if (lstat(m_path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || !IsStaleSocket(m_path)) {
            QV_LOG("%s is in use", m_path.c_str());
            return false;
        }
        unlink(m_path.c_str());
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
        rename(hidden.c_str(), m_path.c_str()) != 0) {
        QV_LOG("cannot create %s: %s", m_path.c_str(), strerror(errno));
        unlink(hidden.c_str());
        close(fd);
        return false;
    }
    m_listenFd = fd;
    return true;
}

// The host's connection ends before the file goes, as a kernel device's open files are
// flagged before its removal is announced: a host that hears of the removal finds its
// connection already ended.
void CSocketTransport::Unplug() {
    if (m_hostFd >= 0) DropHost();
    RemoveListener();
}

void CSocketTransport::RemoveListener() {
    if (m_listenFd < 0) return;
    unlink(m_path.c_str());
    close(m_listenFd);
    m_listenFd = -1;
}

void CSocketTransport::AddPollFds(std::vector<pollfd>& fds) const {
    fds.push_back({m_listenFd, POLLIN, 0});
    fds.push_back({m_hostFd, static_cast<short>(m_wantsWrite ? POLLIN | POLLOUT : POLLIN), 0});
}

void CSocketTransport::HandlePoll(const pollfd* fds) {
    // The host's reports and hang-up first: a host that let go and connected again at once
    // must find the card free, not busy with its own closed connection.
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) ReadHost();
    if (fds[0].revents & POLLIN) AcceptHosts();
    if (m_hostFd >= 0 && (fds[1].revents & POLLOUT)) m_wantsWrite = false;
}

void CSocketTransport::AcceptHosts() {
    while (m_listenFd >= 0) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (m_hostFd >= 0) {
            m_events->OnHostRejected();
            close(fd);  // one host at a time: the next one sees the device busy
            continue;
        }
        if (send(fd, m_descriptor.data(), m_descriptor.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(m_descriptor.size())) {
            const std::string why = strerror(errno);
            close(fd);
            m_events->OnTransportEvent("connect-failed", why);
            continue;
        }
        m_hostFd = fd;
        m_wantsWrite = false;
        m_events->OnHostConnected();
    }
}

void CSocketTransport::ReadHost() {
    uint8_t packet[512];
    // The report may unplug the card (a fault), which closes the connection: check each time.
    while (m_hostFd >= 0) {
        const ssize_t got = recv(m_hostFd, packet, sizeof packet, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            DropHost();
            return;
        }
        m_events->OnHostReport(packet, static_cast<size_t>(got));
    }
}

bool CSocketTransport::HangUp() {
    if (m_hostFd < 0) return false;
    DropHost();
    return true;
}

void CSocketTransport::DropHost() {
    close(m_hostFd);
    m_hostFd = -1;
    m_wantsWrite = false;
    m_events->OnHostDisconnected();
}

SendStatus CSocketTransport::Send(const Frame& frame) {
    if (m_hostFd < 0) return SendStatus::kFailed;
    if (send(m_hostFd, frame.data(), frame.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(frame.size()))
        return SendStatus::kSent;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        m_wantsWrite = true;  // the host is not reading: resume on POLLOUT
        return SendStatus::kBlocked;
    }
    DropHost();
    return SendStatus::kFailed;
}

}  // namespace lw52::emu
