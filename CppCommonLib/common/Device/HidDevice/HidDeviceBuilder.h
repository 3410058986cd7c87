#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "HidBase.h"
#include "HidEnum.h"

class CDeviceManager;
class ICommProtocol;

// Ties one transport object, the device manager and the protocol together and remembers
// which device path is in use.
class CHidDeviceBuilder {
  public:
    CHidDeviceBuilder();
    virtual ~CHidDeviceBuilder();
    CHidDeviceBuilder(const CHidDeviceBuilder&) = delete;
    CHidDeviceBuilder& operator=(const CHidDeviceBuilder&) = delete;

    bool Init(ICommProtocol* protocol);
    // Searches vendor 0x2B53 with productId; returns the unclipped number of matches.
    int FindDevices(uint16_t productId);
    bool OpenFirstFound();
    bool OpenPath(const std::string& path);

    CDeviceManager* GetDeviceManager() const { return m_deviceManager.get(); }
    CHidBase* GetDevice() const { return m_device.get(); }
    const std::string& CurrentPath() const { return m_currentPath; }
    int FoundCount() const { return m_foundCount; }
    const DevicePathList& FoundPaths() const { return m_foundPaths; }
    uint16_t VendorId() const { return m_vendorId; }
    uint16_t ProductId() const { return m_productId; }
    // Why the last OpenFirstFound/OpenPath failed (empty after a success).
    const std::string& LastError() const { return m_lastError; }
    bool LastErrorWasBusy() const { return m_lastErrorBusy; }

  private:
    bool ConnectPath(const std::string& path);
    void ReleaseDevice();

    std::unique_ptr<CDeviceManager> m_deviceManager;
    std::unique_ptr<CHidBase> m_device;
    ICommProtocol* m_protocol = nullptr;  // not owned
    DevicePathList m_foundPaths;
    int m_foundCount = 0;
    std::string m_currentPath;
    uint16_t m_vendorId = 0;
    uint16_t m_productId = 0;
    std::string m_lastError;
    bool m_lastErrorBusy = false;
};
