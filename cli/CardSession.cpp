#include "CardSession.h"

#include "DeviceManager.h"
#include "FrameDefs.h"
#include "VirtualHid.h"

CardSession::~CardSession() {
    CDeviceManager* manager = m_builder.GetDeviceManager();
    if (manager && manager->IsConnected()) {
        uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_CONNECT};
        request[4] = 0;
        uint8_t reply[lw52::kFrameBufferSize];
        manager->SendAndReceive(request, reply, 3, 500);
    }
}

bool CardSession::Open(const std::string& devicePath) {
    if (!m_builder.Init(&m_protocol)) {
        m_error = "cannot create the device manager";
        return false;
    }
    bool opened = false;
    if (!devicePath.empty()) {
        opened = m_builder.OpenPath(devicePath);
    } else if (m_builder.FindDevices(lw52::kProductId61) > 0) {
        opened = m_builder.OpenFirstFound();  // a 0x61 card that fails does not lead to 0x7B
    } else if (m_builder.FindDevices(lw52::kProductId7B) > 0) {
        opened = m_builder.OpenFirstFound();
    } else {
        m_error = "no LW52 card found (no matching hidraw device, no virtual card in " +
                  vhid::VirtualDeviceDir() + ")";
        return false;
    }
    if (!opened) {
        const std::string path = devicePath.empty() ? m_builder.FoundPaths()[0] : devicePath;
        m_error = m_builder.LastErrorWasBusy()
                      ? "device busy: another program is using " + path
                      : "cannot open " + path + ": " + m_builder.LastError();
        return false;
    }
    return true;
}
