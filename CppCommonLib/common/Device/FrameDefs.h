#pragma once

#include <cstdint>

// Frame layout and command codes of the card's protocol. Byte 0 command, byte 1 zero in
// requests, byte 2 frame index, byte 3 flag, payload from byte 4, checksum at byte N-1.
// The reply command is the request command + 1.
namespace lw52 {

constexpr uint16_t kVendorId = 0x2B53;
constexpr uint16_t kProductId61 = 0x0061;
constexpr uint16_t kProductId7B = 0x007B;

constexpr int kFrameBufferSize = 64;  // frames are composed in 64-byte buffers
constexpr int kPacketSize64 = 64;
constexpr int kPacketSize40 = 40;

constexpr uint8_t CMD_CONNECT = 0x90;
constexpr uint8_t CMD_GET_DEVICE_INFO = 0x92;
constexpr uint8_t CMD_SET_PARAMS = 0x94;
constexpr uint8_t CMD_SET_EFFECT_PARAMS = 0x96;
constexpr uint8_t CMD_EFFECT_FILE_HEADER = 0x02;
constexpr uint8_t CMD_EFFECT_BLOCK_04 = 0x04;
constexpr uint8_t CMD_EFFECT_BLOCK_06 = 0x06;
constexpr uint8_t CMD_EFFECT_BLOCK_16 = 0x16;
constexpr uint8_t CMD_SOUND_BEGIN = 0xB0;
constexpr uint8_t CMD_SOUND_DATA = 0xB2;
constexpr uint8_t MSG_LEVELS = 0x1F;
constexpr uint8_t MSG_DEVICE_CHANGE = 0x9E;
constexpr uint8_t ACK_DEVICE_CHANGE = 0x9F;

constexpr uint8_t kFlagReplyOk = 0xFF;  // byte 3 of an accepted reply
constexpr uint8_t kAckStatusOk = 0xFF;  // 0x9F status: frame valid
constexpr uint8_t kAckStatusBadChecksum = 0x03;
constexpr uint8_t kAckStatusBadFlag = 0xA0;

constexpr uint8_t ReplyCode(uint8_t request) {
    return static_cast<uint8_t>(request + 1);
}

// Device type byte (14) of the device information reply.
enum DeviceType : uint8_t {
    kTypeSoundCard = 1,
    kTypeMicrophone = 2,
    kTypeHeadphones = 3,
    kTypeLoudspeaker = 4,
    kTypeEffectsUnit = 5,
};

}  // namespace lw52
