#pragma once

#include <cstdint>

class ICommDeviceMgmt;

// The protocol object the device manager calls around every transfer. Frames are 64-byte
// buffers of which the first GetPacketSize() bytes travel.
class ICommProtocol {
  public:
    virtual ~ICommProtocol() = default;
    virtual bool CheckReply(const uint8_t* reply, uint8_t expectedCmd) = 0;
    virtual void SetChecksum(uint8_t* frame) = 0;
    virtual void OnBeforeSend(const uint8_t* frame) = 0;
    virtual void OnReplyReceived(const uint8_t* reply) = 0;
    // A frame that is not an awaited reply, on the receive thread.
    virtual void OnRecvData(const uint8_t* frame) = 0;
    virtual void SetDeviceManager(ICommDeviceMgmt* manager) = 0;
    virtual void ResetDeviceManager() = 0;
    virtual int GetPacketSize() = 0;
    virtual void SetPacketSize(int size) = 0;
};
