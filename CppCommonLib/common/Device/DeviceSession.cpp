#include "DeviceSession.h"

#include "DeviceManager.h"
#include "FrameDefs.h"
#include "HidEnum.h"
#include "Log.h"
#include "TextUtil.h"
#include "TickCount.h"
#include "VirtualHid.h"

namespace {

bool IsCardProduct(uint16_t productId) {
    return productId == lw52::kProductId61 || productId == lw52::kProductId7B;
}

}  // namespace

CDeviceSession::~CDeviceSession() {
    // The receive thread may report a hang-up until the manager (in the builder) is gone.
    if (CDeviceManager* manager = Manager()) manager->SetGoneHandler(nullptr);
}

bool CDeviceSession::Init() {
    if (Manager()) return true;
    if (!m_builder.Init(&m_protocol)) {
        m_lastError = "cannot create the device manager";
        return false;
    }
    Manager()->SetGoneHandler([this] {
        m_gonePending = true;
        std::lock_guard<std::mutex> guard(m_wakeMutex);
        if (m_goneWake) m_goneWake();
    });
    return true;
}

void CDeviceSession::SetCardGoneWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(m_wakeMutex);
    m_goneWake = std::move(wake);
}

bool CDeviceSession::OnCardGone() {
    if (!m_gonePending.exchange(false) || !onWorkspaceNotify) return false;
    CDeviceManager* manager = Manager();
    // Dealt with already: let go on a removal, or a new card attached on an arrival (which
    // lets go of a card whose connection ended first).
    if (!manager || !manager->GetDevice() || manager->IsConnected()) return false;
    QV_LOG("%s hung up with no removal reported: let go", m_builder.CurrentPath().c_str());
    const auto notify = onWorkspaceNotify;
    LetGo(notify);
    return true;
}

bool CDeviceSession::IsConnected() const {
    CDeviceManager* manager = Manager();
    return manager && manager->IsConnected();
}

void CDeviceSession::NoteOpenFailure(const std::string& path) {
    const std::string& why = m_builder.LastError();
    if (m_builder.LastErrorWasBusy())
        m_lastError = "device busy: another program is using " + path;
    else  // some transport errors already start with the path
        m_lastError = "cannot open " + (why.rfind(path, 0) == 0 ? why : path + ": " + why);
}

bool CDeviceSession::ConnectAtStartup() {
    m_lastError.clear();
    if (!Manager()) {
        m_lastError = "the device manager is missing";
        return false;
    }
    for (const uint16_t productId : {lw52::kProductId61, lw52::kProductId7B}) {
        if (m_builder.FindDevices(productId) < 1) continue;
        // The first product present decides: no fall-back to 0x7B after a failed 0x61.
        if (!m_builder.OpenFirstFound()) {
            NoteOpenFailure(m_builder.FoundPaths()[0]);
            return false;
        }
        if (onStartupConnected) onStartupConnected();
        return true;
    }
    m_lastError = "no LW52 card found (no matching hidraw device, no virtual card in " +
                  vhid::VirtualDeviceDir() + ")";
    return false;
}

bool CDeviceSession::ConnectPath(const std::string& path) {
    m_lastError.clear();
    if (!Manager()) {
        m_lastError = "the device manager is missing";
        return false;
    }
    if (m_builder.OpenPath(path)) return true;
    NoteOpenFailure(path);
    return false;
}

void CDeviceSession::LetGo(const std::function<void(bool)>& notify) {
    Manager()->DetachDevice();
    SleepMs(kDetachPauseMs);
    notify(true);
}

void CDeviceSession::OnDevicePnp(bool removed, const std::string& devicePath) {
    if (!onWorkspaceNotify) return;
    // Copied: the workspace may replace the hook while it reacts.
    const auto notify = onWorkspaceNotify;
    CDeviceManager* manager = Manager();
    if (!manager) return;
    if (removed) {
        // Attached covers a card whose connection already ended: it is let go all the same.
        if (!manager->GetDevice() ||
            !text::EqualsIgnoreCaseAscii(devicePath, m_builder.CurrentPath()))
            return;
        // Device names are reused (/dev/hidraw0 again after a quick replug): a removal that
        // arrives while the attached card's connection is still live was an earlier device
        // of that name. The card's own removal shows as a hang-up first.
        if (manager->IsConnected()) return;
        LetGo(notify);
        return;
    }
    if (manager->IsConnected()) return;  // one card at a time
    // Still attached but gone: the card was pulled and this arrival came before its
    // removal (a quick replug, or the other notification source read first). Let it go
    // now, or the card that is there would never be taken.
    if (manager->GetDevice()) LetGo(notify);
    // A virtual card's path names its ids; a hidraw node's are looked up in udev.
    uint16_t vendorId = 0, productId = 0;
    if (!LookupDeviceIds(devicePath, vendorId, productId) || vendorId != lw52::kVendorId ||
        !IsCardProduct(productId))
        return;
    m_lastError.clear();
    if (!m_builder.OpenPath(devicePath)) NoteOpenFailure(devicePath);
    // The workspace finds out by itself whether a card is attached now.
    notify(false);
}
