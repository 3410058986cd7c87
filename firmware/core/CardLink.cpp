#include "CardLink.h"

#include "FrameDefs.h"
#include "HidEnum.h"
#include "ICommDeviceMgmt.h"

namespace firmware {

namespace {

constexpr int kAttempts = 3;
constexpr uint32_t kDeviceInfoTimeoutMs = 300;

}  // namespace

std::string NibbleVersion(uint8_t value) {
    return std::to_string(value >> 4) + "." + std::to_string(value & 0x0F);
}

bool CManagerCardLink::IsConnected() {
    return m_manager && m_manager->IsConnected();
}

bool CManagerCardLink::QueryVersions(std::string& hardware, std::string& firmware) {
    if (!m_manager) return false;
    uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_GET_DEVICE_INFO};
    uint8_t reply[lw52::kFrameBufferSize] = {};
    if (!m_manager->SendAndReceive(request, reply, kAttempts, kDeviceInfoTimeoutMs)) return false;
    hardware = NibbleVersion(reply[4]);
    firmware = NibbleVersion(reply[6]);
    return true;
}

int CManagerCardLink::CardsAttached() {
    return CountPhysicalDevices(lw52::kVendorId, lw52::kProductId61) +
           CountPhysicalDevices(lw52::kVendorId, lw52::kProductId7B);
}

}  // namespace firmware
