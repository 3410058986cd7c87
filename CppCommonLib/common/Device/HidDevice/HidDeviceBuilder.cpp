#include "HidDeviceBuilder.h"

#include "DeviceManager.h"
#include "FrameDefs.h"

CHidDeviceBuilder::CHidDeviceBuilder() = default;

CHidDeviceBuilder::~CHidDeviceBuilder() {
    // The manager's receive loop reads from the device: stop it before the device goes.
    ReleaseDevice();
    m_deviceManager.reset();
}

bool CHidDeviceBuilder::Init(ICommProtocol* protocol) {
    if (!protocol) return false;
    m_deviceManager = std::make_unique<CDeviceManager>();
    m_protocol = protocol;
    return true;
}

int CHidDeviceBuilder::FindDevices(uint16_t productId) {
    for (auto& p : m_foundPaths) p.clear();
    m_vendorId = lw52::kVendorId;
    m_productId = productId;
    const int found = EnumDevices(&m_foundPaths, m_vendorId, m_productId);
    m_foundCount = found < kMaxFoundDevices ? found : kMaxFoundDevices;
    return found;
}

bool CHidDeviceBuilder::OpenFirstFound() {
    if (m_foundCount < 0) return false;
    return ConnectPath(m_foundPaths[0]);
}

bool CHidDeviceBuilder::OpenPath(const std::string& path) {
    return ConnectPath(path);
}

void CHidDeviceBuilder::ReleaseDevice() {
    if (m_deviceManager && m_device && m_deviceManager->GetDevice() == m_device.get())
        m_deviceManager->DetachDevice();
    if (m_device) m_device->CloseDevice();
    m_device.reset();
}

bool CHidDeviceBuilder::ConnectPath(const std::string& path) {
    m_currentPath.clear();
    m_lastError.clear();
    m_lastErrorBusy = false;
    ReleaseDevice();
    if (!m_deviceManager || path.empty()) {
        m_lastError = path.empty() ? "no device found" : "the device manager is missing";
        return false;
    }
    m_device = std::make_unique<CHidBase>(path);
    m_currentPath = path;
    if (m_deviceManager->AttachDevice(m_device.get(), m_protocol)) return true;

    m_lastError = m_device->LastOpenError();
    m_lastErrorBusy = m_device->LastOpenWasBusy();
    if (m_lastError.empty()) m_lastError = "the device's report size is not supported";
    m_device.reset();
    m_currentPath.clear();
    return false;
}
