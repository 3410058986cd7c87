#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CardTransport.h"

// The virtual HID device of the socket kind: a listening SOCK_SEQPACKET socket whose file
// appearing is an arrival and disappearing a removal. A host that connects first gets the
// report descriptor, then one report per packet; one host at a time, the next one is closed
// at once.
namespace lw52::emu {

class CSocketTransport : public ICardTransport {
  public:
    // dir holds path (the device's socket file); descriptor goes first to every host.
    CSocketTransport(std::string dir, std::string path, std::vector<uint8_t> descriptor);
    ~CSocketTransport() override;  // closes everything and removes the file, telling no one
    CSocketTransport(const CSocketTransport&) = delete;
    CSocketTransport& operator=(const CSocketTransport&) = delete;

    void SetEvents(ICardTransportEvents* events) override { m_events = events; }
    std::string Address() const override { return m_path; }
    // False also when another live card holds the name; a stale file is replaced.
    bool Plug() override;
    void Unplug() override;  // the host's connection ends first, then the file goes
    bool IsPlugged() const override { return m_listenFd >= 0; }
    bool HasHost() const override { return m_hostFd >= 0; }
    bool HangUp() override;
    bool WantsWrite() const override { return m_wantsWrite; }
    void AddPollFds(std::vector<pollfd>& fds) const override;
    void HandlePoll(const pollfd* fds) override;
    SendStatus Send(const Frame& frame) override;

  private:
    void RemoveListener();
    void AcceptHosts();
    void ReadHost();
    void DropHost();

    const std::string m_dir;
    const std::string m_path;
    const std::vector<uint8_t> m_descriptor;
    ICardTransportEvents* m_events = nullptr;
    int m_listenFd = -1;
    int m_hostFd = -1;
    bool m_wantsWrite = false;  // the socket buffer was full: wait for POLLOUT
};

}  // namespace lw52::emu
