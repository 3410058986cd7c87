#include "CardLink.h"

#include "DeviceInfo.h"
#include "FrameDefs.h"
#include "HidEnum.h"
#include "ICommDeviceMgmt.h"
#include "QvAudioProtocol.h"

namespace firmware {

std::string NibbleVersion(uint8_t value) {
    return std::to_string(value >> 4) + "." + std::to_string(value & 0x0F);
}

bool CProtocolCardLink::IsConnected() {
    ICommDeviceMgmt* manager = m_protocol ? m_protocol->GetDeviceManager() : nullptr;
    return manager && manager->IsConnected();
}

bool CProtocolCardLink::QueryVersions(std::string& hardware, std::string& firmware) {
    uint8_t reply[lw52::kFrameBufferSize] = {};
    if (!m_protocol || !m_protocol->QueryDeviceInfo(reply)) return false;
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(reply);
    hardware = NibbleVersion(info.hardwareVersion);
    firmware = NibbleVersion(info.firmwareVersion);
    return true;
}

int CProtocolCardLink::CardsAttached() {
    return CountPhysicalDevices(lw52::kVendorId, lw52::kProductId61) +
           CountPhysicalDevices(lw52::kVendorId, lw52::kProductId7B);
}

}  // namespace firmware
