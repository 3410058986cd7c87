#include "CardSession.h"

#include "DeviceManager.h"
#include "FrameDefs.h"

CardSession::~CardSession() {
    CDeviceManager* manager = m_session.Manager();
    if (manager && manager->IsConnected()) {
        uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_CONNECT};
        request[4] = 0;
        uint8_t reply[lw52::kFrameBufferSize];
        manager->SendAndReceive(request, reply, 3, 500);
    }
}

bool CardSession::Open(const std::string& devicePath) {
    if (!m_session.Init()) return false;
    return devicePath.empty() ? m_session.ConnectAtStartup() : m_session.ConnectPath(devicePath);
}
