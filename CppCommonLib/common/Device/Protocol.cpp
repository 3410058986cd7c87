#include "Protocol.h"

#include "Checksum.h"
#include "FrameDefs.h"
#include "Log.h"

bool CProtocol::CheckReply(const uint8_t* reply, uint8_t expectedCmd) {
    const int n = GetPacketSize();
    const uint8_t computed = lw52::Checksum(reply, static_cast<size_t>(n - 1));
    if (reply[n - 1] != computed) {
        QV_LOG("CheckReply error: reply crc 0x%02x != 0x%02x  cmd=0x%02x", reply[n - 1], computed,
               reply[0]);
        return false;
    }
    if (reply[0] != expectedCmd) {
        QV_LOG("CheckReply error: reply cmd 0x%02x != 0x%02x", reply[0], expectedCmd);
        return false;
    }
    if (reply[3] != lw52::kFlagReplyOk) {
        QV_LOG("CheckReply error: reply falg 0x%02x != 0x%02x  cmd=0x%02x", reply[3],
               lw52::kFlagReplyOk, reply[0]);
        return false;
    }
    return true;
}

void CProtocol::SetChecksum(uint8_t* frame) {
    lw52::StampChecksum(frame, GetPacketSize());
}
