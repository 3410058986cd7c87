#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "EmulatorServer.h"
#include "FrameDefs.h"
#include "TickCount.h"

// Virtual cards in a private folder that the device layer searches ($LW52_VHID_DIR).
class VirtualCardBench {
  public:
    VirtualCardBench() { setenv("LW52_VHID_DIR", m_dir.Path().c_str(), 1); }
    ~VirtualCardBench() { unsetenv("LW52_VHID_DIR"); }
    VirtualCardBench(const VirtualCardBench&) = delete;
    VirtualCardBench& operator=(const VirtualCardBench&) = delete;

    const std::string& Dir() const { return m_dir.Path(); }

    // A served card; null when it could not be started.
    lw52::emu::CEmulatorServer* AddCard(const std::string& instance,
                                        uint16_t productId = lw52::kProductId61) {
        lw52::emu::CardConfig config;
        config.productId = productId;
        auto card = std::make_unique<lw52::emu::CEmulatorServer>(config);
        if (!card->Start(m_dir.Path(), instance)) return nullptr;
        m_cards.push_back(std::move(card));
        return m_cards.back().get();
    }

  private:
    TempDir m_dir;  // removed last
    std::vector<std::unique_ptr<lw52::emu::CEmulatorServer>> m_cards;
};

// A Unix socket bound straight under path: listening, or (listen = false) refusing
// connections like a socket left behind by a crashed device. Closed on destruction.
class BoundSocket {
  public:
    BoundSocket(const std::string& path, bool listen) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        m_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        m_ok = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
               (!listen || ::listen(m_fd, 1) == 0);
    }
    ~BoundSocket() {
        if (m_fd >= 0) close(m_fd);
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;
    bool Ok() const { return m_ok; }

  private:
    int m_fd = -1;
    bool m_ok = false;
};

// Polls pred every few milliseconds for at most timeoutMs.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(timeoutMs);
    while (!pred()) {
        if (GetTickCountMs() > deadline) return false;
        SleepMs(5);
    }
    return true;
}
