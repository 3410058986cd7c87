#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CardTransport.h"

struct uhid_event;

// The virtual card as a kernel HID device through /dev/uhid: the kernel gives it a hidraw
// node, so programs find and open it like a card on the USB bus. Plug is UHID_CREATE2 (bus USB,
// the card's ids and report descriptor), Unplug UHID_DESTROY; the first program opening the
// hidraw node (UHID_OPEN) is the host connecting, the last one closing it (UHID_CLOSE) the
// host leaving. Host writes arrive as UHID_OUTPUT (report id 0, then the data bytes); frames
// go out as UHID_INPUT2 with the data bytes. Feature report requests are refused.
//
// A SOCK_SEQPACKET socket at the device path stands in for the kernel: the same event
// structs, one per packet (how the tests play the kernel's part).
namespace lw52::emu {

class CUhidTransport : public ICardTransport {
  public:
    static constexpr const char* kDeviceName = "LW52 virtual card";

    // uniq: the device's unique name (HID_UNIQ), e.g. the emulator's instance name.
    CUhidTransport(std::string devicePath, const CardConfig& config, std::string uniq = {});
    ~CUhidTransport() override;  // destroys the device, telling no one
    CUhidTransport(const CUhidTransport&) = delete;
    CUhidTransport& operator=(const CUhidTransport&) = delete;

    // Opens the device file (before Plug). False with the reason in error.
    bool Open(std::string& error);

    void SetEvents(ICardTransportEvents* events) override { m_events = events; }
    std::string Address() const override;  // "uhid 2B53:0061"
    bool Plug() override;
    void Unplug() override;
    bool IsPlugged() const override { return m_created; }
    bool HasHost() const override { return m_opened; }
    // A kernel device cannot end one reader's connection without going away.
    bool HangUp() override { return false; }
    bool WantsWrite() const override { return false; }  // the kernel takes input at once
    void AddPollFds(std::vector<pollfd>& fds) const override;
    void HandlePoll(const pollfd* fds) override;
    SendStatus Send(const Frame& frame) override;

  private:
    bool WriteEvent(const uhid_event& event);
    bool ReadEvent();  // false when nothing more can be read now
    bool Readable() const;
    void HandleEvent(const uhid_event& event);
    void RefuseReport(uint32_t replyType, uint32_t id, const char* what);
    void Fail(const std::string& why);
    void Disconnect();

    const std::string m_devicePath;
    const CardConfig m_config;
    const std::string m_uniq;
    const std::vector<uint8_t> m_descriptor;
    ICardTransportEvents* m_events = nullptr;
    int m_fd = -1;
    bool m_isSocket = false;  // the stand-in: send/recv instead of write/read
    bool m_created = false;   // UHID_CREATE2 taken, no UHID_DESTROY since
    // A driver runs on the device (UHID_START). Events of a device destroyed earlier may
    // still be queued; an open counts only once the device of the last CREATE2 has started.
    bool m_started = false;
    bool m_opened = false;  // a program has the hidraw node open
};

}  // namespace lw52::emu
