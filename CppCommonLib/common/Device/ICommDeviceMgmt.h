#pragma once

#include <cstdint>

class ICommunicateDevice;
class ICommProtocol;

// The request/reply link over a transport device.
class ICommDeviceMgmt {
  public:
    virtual ~ICommDeviceMgmt() = default;
    virtual bool IsConnected() = 0;
    virtual bool AttachDevice(ICommunicateDevice* device, ICommProtocol* protocol) = 0;
    virtual void DetachDevice() = 0;
    // request: a 64-byte frame, byte 0 the command (the checksum is stamped here); reply
    // receives 64 bytes. True when a valid reply (command + 1) arrived within the attempts.
    virtual bool SendAndReceive(uint8_t* request, uint8_t* reply, int attempts,
                                uint32_t timeoutMs) = 0;
    // Writes one frame without awaiting a reply; up to 5 write attempts.
    virtual bool SendNotReceive(uint8_t* request) = 0;
    virtual void RecvThreadProc() = 0;
    virtual ICommunicateDevice* GetDevice() = 0;
    virtual bool IsIdle() = 0;
};
