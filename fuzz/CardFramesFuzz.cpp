// Frames from the card as the program meets them: the reply check of the request/reply
// link, card-initiated frames through the protocol's receive handler on to the workspace
// (levels, changes made on the card and their acknowledgement), the connect reply the
// workspace reads the card's state from, and the device information reply.
//
// Input: one options byte (bit 0: a card with 40-byte packets, else 64; bit 1: the checksum
// byte is made valid, which mutations alone seldom manage), then the frame, zero-filled to
// the 64 bytes a device's receive buffer always holds.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Checksum.h"
#include "DeviceInfo.h"
#include "FrameDefs.h"
#include "FuzzSupport.h"
#include "ICommDeviceMgmt.h"
#include "ICommunicateDevice.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"
#include "WorkSpace.h"

namespace {

// Delivers every post at once, as the UI thread would later.
class DirectCenter : public INotifyCenter {
  public:
    int Subscribe(int eventId, const char*, Handler handler) override {
        m_handlers[++m_last] = {eventId, std::move(handler)};
        return m_last;
    }
    void Unsubscribe(int token) override { m_handlers.erase(token); }
    void FireEventAsync(std::shared_ptr<EventArgs> event) override { FireEvent(*event); }
    void FireEvent(EventArgs& event) override {
        for (auto& [token, entry] : m_handlers)
            if (entry.first == event.Id()) entry.second(event);
    }

  private:
    std::map<int, std::pair<int, Handler>> m_handlers;
    int m_last = 0;
};

// The card, open under its own vendor and product ids.
class CardDevice : public ICommunicateDevice {
  public:
    bool IsOpen() override { return true; }
    bool OpenDevice() override { return true; }
    void CloseDevice() override {}
    bool Write(const uint8_t*, int) override { return true; }
    bool Read(const uint8_t**, uint32_t) override { return false; }
    void AbortRead() override {}
    int GetMaxReadLength() override { return 64; }
    int GetMaxWriteLength() override { return 64; }
    std::string GetDevicePath() override { return "hid#VID_2B53&PID_0061#fuzz"; }
};

// Answers every request with the input frame where the receive loop would take it as the
// awaited reply (its command is the request's + 1), checked as the device manager checks it.
class ReplyingManager : public ICommDeviceMgmt {
  public:
    ReplyingManager(const uint8_t* frame, ICommProtocol& protocol)
        : m_frame(frame), m_protocol(protocol) {}
    bool IsConnected() override { return true; }
    bool AttachDevice(ICommunicateDevice*, ICommProtocol*) override { return true; }
    void DetachDevice() override {}
    bool SendAndReceive(uint8_t* request, uint8_t* reply, int, uint32_t) override {
        m_protocol.SetChecksum(request);
        memset(reply, 0, lw52::kFrameBufferSize);
        const uint8_t expected = lw52::ReplyCode(request[0]);
        if (m_frame[0] != expected) return false;
        memcpy(reply, m_frame, lw52::kFrameBufferSize);
        return m_protocol.CheckReply(reply, expected);
    }
    bool SendNotReceive(uint8_t* request) override {
        if (request[0] != lw52::ACK_DEVICE_CHANGE) fuzz::Violated("an answer that is not 0x9F");
        m_protocol.SetChecksum(request);
        return true;
    }
    void RecvThreadProc() override {}
    ICommunicateDevice* GetDevice() override { return &m_device; }
    bool IsIdle() override { return true; }

  private:
    const uint8_t* m_frame;
    ICommProtocol& m_protocol;
    CardDevice m_device;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int packet = (data[0] & 1) ? lw52::kPacketSize40 : lw52::kPacketSize64;
    uint8_t frame[lw52::kFrameBufferSize] = {};
    memcpy(frame, data + 1, std::min<size_t>(size - 1, sizeof frame));
    if (data[0] & 2) lw52::StampChecksum(frame, packet);

    DirectCenter center;
    CQvAudioProtocol protocol;
    protocol.SetPacketSize(packet);
    protocol.CheckReply(frame, frame[0]);

    // The device information dialog.
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(frame);
    lw52::DeviceInfoText(&info);

    CWorkSpace::Context context;
    context.notifyCenter = &center;
    context.protocol = &protocol;
    CWorkSpace workspace(context);
    protocol.SetNotifyCenter(&center, &workspace);

    // Before the state was read: the frame arrives unasked.
    ReplyingManager manager(frame, protocol);
    protocol.OnRecvData(frame);

    // Attached: the connect request and the reply the workspace reads the state from, then
    // the same frame unasked again, now that the workspace mirrors the card.
    protocol.SetDeviceManager(&manager);
    workspace.SetDeviceManager(&manager);
    workspace.OnDeviceChanged(false);
    protocol.OnRecvData(frame);

    protocol.ResetDeviceManager();
    protocol.SetNotifyCenter(nullptr, nullptr);
    return 0;
}
