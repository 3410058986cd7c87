#include "HidBase.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "HidReportDescriptor.h"
#include "Log.h"
#include "VirtualHid.h"

namespace {
constexpr int kDescriptorWaitMs = 2000;
// A write never takes longer than the shortest reply wait of an attempt (the connect's).
constexpr int kWriteWaitMs = 1000;

void CloseFd(std::atomic<int>& fd) {
    const int old = fd.exchange(-1);
    if (old >= 0) close(old);
}
}  // namespace

CHidBase::CHidBase(const std::string& devicePath)
    : m_devicePath(devicePath.substr(0, kMaxPathChars)) {}

CHidBase::~CHidBase() {
    CloseDevice();
}

bool CHidBase::IsOpen() {
    const int fd = m_readFd.load();
    if (fd < 0 || m_writeFd.load() < 0 || m_gone.load()) return false;
    // A card pulled out (or a virtual card's connection closed) shows as a hang-up at once,
    // before the receive loop or a removal notification has noticed.
    pollfd pfd{fd, 0, 0};
    if (poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) MarkGone();
    return !m_gone.load();
}

void CHidBase::MarkGone() {
    if (!m_gone.exchange(true)) QV_LOG("%s: the device is gone", m_devicePath.c_str());
}

std::string CHidBase::LastOpenError() const {
    std::lock_guard<std::mutex> guard(m_errorMutex);
    return m_lastOpenError;
}

void CHidBase::FailOpen(const std::string& error, bool busy) {
    {
        std::lock_guard<std::mutex> guard(m_errorMutex);
        m_lastOpenError = error;
    }
    m_lastOpenBusy = busy;
}

bool CHidBase::OpenDevice() {
    if (m_writeFd.load() >= 0 || m_readFd.load() >= 0) {
        QV_LOG("One device is already opened.");
        FailOpen("the device is already open");
        return false;
    }
    FailOpen("");
    m_gone = false;
    m_isSocket = vhid::IsSocketPath(m_devicePath);
    std::string error;
    const bool ok = m_isSocket ? OpenVirtual(error) : OpenHidraw(error);
    if (!ok) {
        CloseFds();
        if (!error.empty()) FailOpen(error, m_lastOpenBusy);
        return false;
    }
    return true;
}

bool CHidBase::ApplyDescriptor(const uint8_t* descriptor, size_t size, std::string& error) {
    HidReportLengths lengths;
    if (!ParseHidReportDescriptor(descriptor, size, lengths)) {
        QV_LOG("HidD_GetPreparsedData failed.");
        error = "the report descriptor is malformed";
        return false;
    }
    if (lengths.inputReportLength < 1 || lengths.inputReportLength > kBufferSize ||
        lengths.outputReportLength < 1 || lengths.outputReportLength > kBufferSize) {
        QV_LOG("invalide device report byte length.");
        error = "unsupported report length (input " + std::to_string(lengths.inputReportLength) +
                ", output " + std::to_string(lengths.outputReportLength) + ")";
        return false;
    }
    m_inputReportLength = lengths.inputReportLength;
    m_outputReportLength = lengths.outputReportLength;

    std::lock_guard<std::mutex> guard(m_abortMutex);
    m_abortFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_abortFd < 0) {
        QV_LOG("CreateEvent failed.");
        error = std::string("eventfd: ") + strerror(errno);
        return false;
    }
    return true;
}

bool CHidBase::OpenHidraw(std::string& error) {
    const int probe = open(m_devicePath.c_str(), O_RDWR | O_CLOEXEC);
    if (probe < 0) {
        error = strerror(errno);
        FailOpen(error, errno == EBUSY);
        return false;
    }
    int descSize = 0;
    hidraw_report_descriptor desc{};
    bool gotDescriptor = ioctl(probe, HIDIOCGRDESCSIZE, &descSize) >= 0 && descSize > 0 &&
                         descSize <= HID_MAX_DESCRIPTOR_SIZE;
    if (gotDescriptor) {
        desc.size = static_cast<uint32_t>(descSize);
        gotDescriptor = ioctl(probe, HIDIOCGRDESC, &desc) >= 0;
    }
    close(probe);
    if (!gotDescriptor) {
        QV_LOG("HidD_GetPreparsedData failed.");
        error = "cannot read the report descriptor";
        return false;
    }
    if (!ApplyDescriptor(desc.value, desc.size, error)) return false;

    const int writeFd = open(m_devicePath.c_str(), O_WRONLY | O_CLOEXEC);
    if (writeFd < 0) {
        QV_LOG("CreateFile for write error.");
        error = strerror(errno);
        return false;
    }
    m_writeFd = writeFd;
    {
        std::lock_guard<std::mutex> writeGuard(m_writeMutex);
        m_writer = std::make_unique<CBoundedWriter>(writeFd);
        if (!m_writer->Ok()) {
            error = std::string("cannot start the writer: ") + strerror(errno);
            return false;
        }
    }
    const int readFd = open(m_devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (readFd < 0) {
        QV_LOG("CreateFile for read error.");
        error = strerror(errno);
        return false;
    }
    m_readFd = readFd;
    return true;
}

bool CHidBase::OpenVirtual(std::string& error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (m_devicePath.size() >= sizeof addr.sun_path) {
        error = "device path too long for a socket";
        return false;
    }
    memcpy(addr.sun_path, m_devicePath.c_str(), m_devicePath.size() + 1);
    const int sock = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        error = std::string("socket: ") + strerror(errno);
        return false;
    }
    if (connect(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        error = strerror(errno);
        close(sock);
        return false;
    }
    // The device speaks first: one packet with its report descriptor. A device that closes
    // without it is serving another program.
    pollfd pfd{sock, POLLIN, 0};
    uint8_t descriptor[4096];
    ssize_t n = -1;
    if (poll(&pfd, 1, kDescriptorWaitMs) > 0) n = recv(sock, descriptor, sizeof descriptor, 0);
    if (n <= 0) {
        QV_LOG("HidD_GetPreparsedData failed.");
        const bool busy = n == 0;
        error = busy ? "the device is busy (another program is using it)"
                     : "the device sent no report descriptor";
        FailOpen(error, busy);
        close(sock);
        return false;
    }
    if (!ApplyDescriptor(descriptor, static_cast<size_t>(n), error)) {
        close(sock);
        return false;
    }
    const int writeFd = dup(sock);
    if (writeFd < 0) {
        QV_LOG("CreateFile for write error.");
        error = std::string("dup: ") + strerror(errno);
        close(sock);
        return false;
    }
    m_writeFd = writeFd;
    m_readFd = sock;
    return true;
}

void CHidBase::CloseFds() {
    AbortRead();  // a Read in progress returns and releases the read side
    {
        std::lock_guard<std::mutex> readGuard(m_readMutex);
        CloseFd(m_readFd);
        std::lock_guard<std::mutex> abortGuard(m_abortMutex);
        if (m_abortFd >= 0) close(m_abortFd);
        m_abortFd = -1;
    }
    {
        std::lock_guard<std::mutex> writeGuard(m_writeMutex);
        m_writer.reset();  // a write stuck in the kernel finishes on its own
        CloseFd(m_writeFd);
    }
}

void CHidBase::CloseDevice() {
    CloseFds();
    m_inputReportLength = 0;
    m_outputReportLength = 0;
}

bool CHidBase::Write(const uint8_t* data, int length) {
    if (!data || length <= 0 || length > m_outputReportLength - 1) {
        QV_LOG("invalide parameter.");
        return false;
    }
    // One write at a time: the buffer of a write still in progress is never overwritten.
    std::lock_guard<std::mutex> guard(m_writeMutex);
    const int fd = m_writeFd.load();
    if (fd < 0) {
        QV_LOG("Please OpenDevice before Write.");
        return false;
    }
    const auto reportLength = static_cast<size_t>(m_outputReportLength.load());
    memset(m_writeBuffer, 0, sizeof m_writeBuffer);
    memcpy(m_writeBuffer + 1, data, static_cast<size_t>(length));  // byte 0: report id 0

    ssize_t written;
    if (m_isSocket) {
        pollfd pfd{fd, POLLOUT, 0};
        if (poll(&pfd, 1, kWriteWaitMs) <= 0 || (pfd.revents & (POLLERR | POLLHUP))) {
            QV_LOG("error code %ld", static_cast<long>(pfd.revents & POLLHUP ? EPIPE : ETIMEDOUT));
            return false;
        }
        written = send(fd, m_writeBuffer, reportLength, MSG_NOSIGNAL);
    } else {
        // A card that stops taking reports holds a hidraw write in the kernel for seconds:
        // never longer than the attempt here.
        return m_writer && m_writer->Write(m_writeBuffer, reportLength, kWriteWaitMs);
    }
    if (written != static_cast<ssize_t>(reportLength)) {
        QV_LOG("error code %ld", static_cast<long>(written < 0 ? errno : EIO));
        return false;
    }
    return true;
}

bool CHidBase::Read(const uint8_t** outData, uint32_t timeoutMs) {
    std::lock_guard<std::mutex> guard(m_readMutex);
    const int fd = m_readFd.load();
    if (fd < 0) {
        QV_LOG("Please OpenDevice before Read.");
        return false;
    }
    memset(m_readBuffer, 0, sizeof m_readBuffer);
    pollfd pfds[2] = {{fd, POLLIN, 0}, {m_abortFd, POLLIN, 0}};
    const int timeout = timeoutMs == kInfinite ? -1 : static_cast<int>(timeoutMs);
    int ready;
    do {
        ready = poll(pfds, 2, timeout);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;  // timed out

    if (pfds[1].revents & POLLIN) {
        uint64_t count;
        ssize_t ignored = read(m_abortFd, &count, sizeof count);  // consume the signal
        (void)ignored;
        if (outData) *outData = m_readBuffer + 1;
        return true;
    }
    if (pfds[0].revents & POLLIN) {
        // Byte 0 stays the report id; the report's data follows.
        const size_t capacity = sizeof m_readBuffer - 1;
        const ssize_t n = m_isSocket ? recv(fd, m_readBuffer + 1, capacity, MSG_DONTWAIT)
                                     : read(fd, m_readBuffer + 1, capacity);
        if (n > 0) {
            if (outData) *outData = m_readBuffer + 1;
            return true;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return false;
    } else if (!(pfds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
        return false;
    }
    // End of file, hang-up or a read error: the device is gone for good. IsOpen says so from
    // now on, which ends the receive loop instead of a retry.
    MarkGone();
    return false;
}

void CHidBase::AbortRead() {
    std::lock_guard<std::mutex> guard(m_abortMutex);
    if (m_abortFd < 0) return;
    const uint64_t one = 1;
    ssize_t ignored = write(m_abortFd, &one, sizeof one);
    (void)ignored;
}
