#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CardState.h"

// How the virtual card's reports reach a host and come back: the part of the emulator that
// differs between a virtual HID socket and a kernel HID device. CEmulatorServer owns one and
// runs everything else (the card model, reply delays, level frames, faults, the trace) the
// same way for each. A transport is used on the server's loop thread only (and by Start and
// Stop while that thread does not run), so it needs no locking of its own.
namespace lw52::emu {

// What a transport reports to the server while it works. The calls come from inside the
// transport's own methods; OnHostReport may unplug the transport (the unplug-after fault).
class ICardTransportEvents {
  public:
    virtual ~ICardTransportEvents() = default;
    virtual void OnHostConnected() = 0;
    virtual void OnHostDisconnected() = 0;
    // A second host turned away while one is served.
    virtual void OnHostRejected() = 0;
    // One output report as the host wrote it: the report id byte, then the data bytes.
    virtual void OnHostReport(const uint8_t* report, size_t size) = 0;
    // Anything else worth a trace line.
    virtual void OnTransportEvent(const char* name, const std::string& detail) = 0;
};

enum class SendStatus {
    kSent,
    kBlocked,  // no room now: WantsWrite() is true until the transport can take it
    kFailed,   // lost; the transport has already reported what that means (a disconnect)
};

class ICardTransport {
  public:
    virtual ~ICardTransport() = default;

    virtual void SetEvents(ICardTransportEvents* events) = 0;
    // The device as a host finds it, for the trace and the "listening on" line.
    virtual std::string Address() const = 0;

    // Makes the device appear. False when it is present already or cannot be made.
    virtual bool Plug() = 0;
    // Makes the device disappear; a connected host is disconnected. Harmless when unplugged.
    virtual void Unplug() = 0;
    virtual bool IsPlugged() const = 0;
    virtual bool HasHost() const = 0;
    // Ends the host's connection while the device stays, as a card that resets without
    // leaving the bus. False when no host is connected or the transport cannot do it.
    virtual bool HangUp() = 0;
    // A frame waits for room (kBlocked): the server holds its frames back until this is false.
    virtual bool WantsWrite() const = 0;

    // Appends the descriptors to wait on; always the same number of entries (fd -1 for an
    // unused one), so HandlePoll finds its own after the server's.
    virtual void AddPollFds(std::vector<pollfd>& fds) const = 0;
    // Acts on what poll() reported for the entries AddPollFds appended.
    virtual void HandlePoll(const pollfd* fds) = 0;

    // One input report: the frame's data bytes, as hidraw hands them to a reader.
    virtual SendStatus Send(const Frame& frame) = 0;
};

}  // namespace lw52::emu
