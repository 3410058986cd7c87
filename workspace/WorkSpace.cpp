#include "WorkSpace.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "FrameDefs.h"
#include "HidEnum.h"
#include "ICommDeviceMgmt.h"
#include "ICommunicateDevice.h"
#include "NotifyCenter.h"
#include "ParamTable.h"
#include "QvAudioProtocol.h"

namespace {
constexpr int kConnectAttempts = 3;
constexpr uint32_t kConnectTimeoutMs = 1000;
constexpr uint32_t kReleaseTimeoutMs = 500;
constexpr int kPlainEffectLimit = 12;  // effect numbers below this are sent as the number only
constexpr int kModifiedEffectBit = 0x40;

bool IsCardPath(ICommDeviceMgmt* manager) {
    ICommunicateDevice* device = manager ? manager->GetDevice() : nullptr;
    if (!device || !device->IsOpen()) return false;
    uint16_t vid = 0, pid = 0;
    return LookupDeviceIds(device->GetDevicePath(), vid, pid) && vid == lw52::kVendorId &&
           (pid == lw52::kProductId61 || pid == lw52::kProductId7B);
}
}  // namespace

CWorkSpace::CWorkSpace(const Context& context)
    : m_notifyCenter(context.notifyCenter),
      m_eventSender(context.eventSender),
      m_protocol(context.protocol),
      m_settingsPath(context.settingsPath),
      m_throttle([this] { Flush(0); }) {
    for (int i = 0; i < lw52::kBuiltinEffectCount; ++i)
        m_builtinEffects.push_back(lw52::BuiltinEffect(i));
    for (int g = 0; g < 4; ++g) m_presets[static_cast<size_t>(g)] = lw52::BuiltinPresets(g);
    LoadStoredRecords();
    if (m_notifyCenter)
        m_subscription = m_notifyCenter->Subscribe(
            EventRecvData::kId, EventRecvData::kName,
            [this](EventArgs& e) { HandleCardData(static_cast<EventRecvData&>(e).frame); });
    // Subscribed before the pages: the event is taken out of flight before they read it.
    if (m_notifyCenter)
        m_levelsSubscription = m_notifyCenter->Subscribe(
            EventVolumeRecvData::kId, EventVolumeRecvData::kName, [this](EventArgs& e) {
                if (&e == m_levelsInFlight.get()) m_levelsInFlight.reset();
            });
}

CWorkSpace::~CWorkSpace() {
    if (m_notifyCenter && m_subscription) m_notifyCenter->Unsubscribe(m_subscription);
    if (m_notifyCenter && m_levelsSubscription) m_notifyCenter->Unsubscribe(m_levelsSubscription);
}

void CWorkSpace::ConfigureThrottle(ITimerHost* host, uint32_t intervalMs, int timerId) {
    m_throttle.Configure(host, intervalMs, timerId);
}

bool CWorkSpace::IsConnected() const {
    return m_manager && m_ready && m_manager->IsConnected();
}

bool CWorkSpace::IsDeviceAttached() const {
    return m_manager && m_manager->IsConnected();
}

void CWorkSpace::Post(std::shared_ptr<EventArgs> event) {
    if (m_notifyCenter) m_notifyCenter->FireEventAsync(std::move(event));
}

void CWorkSpace::PostParamChanged(ParamPairs pairs) {
    auto event = std::make_shared<EventParamChanged>(m_eventSender);
    event->pairs = std::move(pairs);
    Post(event);
}

void CWorkSpace::SetControl(int id, int value) {
    if (m_binder) m_binder->SetControlValue(id, value);
}

bool CWorkSpace::SendFrames(const std::vector<Frame64>& frames) {
    return m_protocol && m_protocol->SendFrames(frames);
}

void CWorkSpace::OnDeviceChanged(bool removed) {
    if (removed)
        m_ready = false;
    else
        ReadStateFromCard();
    Post(std::make_shared<EventDeviceChanged>(m_eventSender));
}

void CWorkSpace::ReadStateFromCard() {
    if (!IsCardPath(m_manager)) return;
    m_levelForwarding = true;

    uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_CONNECT};
    request[4] = 1;
    uint8_t reply[lw52::kFrameBufferSize];
    if (!m_manager->SendAndReceive(request, reply, kConnectAttempts, kConnectTimeoutMs) ||
        reply[4] == 0)
        return;
    m_ready = true;

    // Entries from byte 6, never past the byte before the checksum.
    const int packet = m_protocol ? m_protocol->GetPacketSize() : lw52::kPacketSize64;
    const int count = std::min<int>(reply[5], (packet - 1 - 6) / 3);
    for (int i = 0; i < count; ++i) {
        const auto [id, value] = lw52::DecodeEntry(&reply[6 + 3 * i]);
        if (id == lw52::kParamEffect) {
            // The card still plays the effect the program last sent, with the changes made
            // to it since (0x40 marks those): keep the current record's effect parameters,
            // which are exactly what was sent. Another effect loads its built-in values.
            const int current = m_current.values[lw52::kParamEffect];
            if ((value & ~kModifiedEffectBit) == current) {
                if (m_binder) PostParamChanged({{lw52::kParamEffect, current}});
                continue;
            }
            const int effect = value > 9 ? 8 : value;  // 10 and 11 load effect 8
            LoadRecord(m_builtinEffects[static_cast<size_t>(effect)]);
            if (m_binder) PostParamChanged({{lw52::kParamEffect, effect}});
        } else if (id < lw52::kParamCount) {
            m_current.values[id] = value;
            m_pending.erase(id);  // the card's report is newer than a change it never took
            if (id == lw52::kParamMicVolume && value != 0) {
                m_current.values[lw52::kParamMicMute] = 0;
                SetControl(lw52::kParamMicMute, 0);
            }
            SetControl(id, value);
        }
    }
    for (int id : {lw52::kParamMicBoost, lw52::kParamAccBoost}) {
        m_current.values[id] = 0;
        SetControl(id, 0);
    }
    if (!m_pending.empty()) m_throttle.RetryLater();  // changes the card missed before
}

// One-key noise reduction sets the level it works with locally (the level itself is not
// sent) and tells the page whether the level knob applies.
void CWorkSpace::ApplyNoiseReduction(int value) {
    const int level = value != 0 ? 70 : 30;
    m_current.values[lw52::kParamNoiseLevel] = level;
    SetControl(lw52::kParamNoiseLevel, level);
    auto event = std::make_shared<EventForbidNoiseReductionLevelParam>(m_eventSender);
    event->value = value;
    Post(event);
}

void CWorkSpace::SetParam(int id, int value) {
    if (id < 0 || id >= lw52::kParamCount || m_current.values[id] == value) return;
    m_current.values[id] = value;
    if (!IsConnected()) return;
    Queue(id, value);
    switch (id) {
        case lw52::kParamMicVolume:
            if (value != 0 && m_current.values[lw52::kParamMicMute] != 0)
                m_current.values[lw52::kParamMicMute] = 0;
            break;
        case lw52::kParamNoiseReduction:
            ApplyNoiseReduction(value);
            Post(std::make_shared<EventForbidOpreateWindow>(m_eventSender));
            break;
        case lw52::kParamMicBoost:
        case lw52::kParamAccBoost:
        case lw52::kParamInternalPlayback:
        case lw52::kParamVocalRemoval:
        case lw52::kParamDucking:
            Post(std::make_shared<EventForbidOpreateWindow>(m_eventSender));
            break;
        case lw52::kParamScale:
            Queue(lw52::kParamKey, m_current.values[lw52::kParamKey]);
            break;
        case lw52::kParamKey:
            Queue(lw52::kParamScale, m_current.values[lw52::kParamScale]);
            break;
        default:
            break;
    }
    m_throttle.Kick();
}

void CWorkSpace::SetParamFromControl(int id, int value) {
    SetParam(id, value);
    if (id >= lw52::kParamEqFirst && id <= lw52::kParamEqLast) PostParamChanged({{id, value}});
}

void CWorkSpace::SetParamFromRemote(int id, int value) {
    if (id < 0 || id >= lw52::kParamCount) return;
    SetParam(id, value);
    SetControl(id, value);
    if (id == lw52::kParamMicVolume)
        SetControl(lw52::kParamMicMute, m_current.values[lw52::kParamMicMute]);
    PostParamChanged({{id, value}});
}

// A frame whose attempts all fail may or may not have reached the card, and the frames after
// it in its batch were never sent: every change of a failed batch stays pending and goes out
// again, with what is current by then, at the next change or by the throttle's retry.
int CWorkSpace::Flush(int target) {
    if (m_pending.empty()) return 1;
    if (TransferRunning()) {  // one request at a time: the transfer owns the card meanwhile
        m_throttle.RetryLater();
        return 0;
    }
    if (target == 0) target = m_pendingTarget;
    std::vector<lw52::ParamPair> mixer, effect;
    bool effectPending = false;
    int pendingEffect = 0;
    for (const auto& [id, value] : m_pending) {
        if (!lw52::IsEffectParam(id)) {
            mixer.emplace_back(id, value);
        } else if (id == lw52::kParamEffect) {
            effectPending = true;
            pendingEffect = value;
        } else {
            effect.emplace_back(id, value);
        }
    }
    const int packet = m_protocol ? m_protocol->GetPacketSize() : lw52::kPacketSize64;
    if (!mixer.empty() && SendFrames(lw52::BuildSetParamsFrames(mixer, packet)))
        for (const auto& [id, value] : mixer) m_pending.erase(id);

    bool ok = true;
    if (effectPending || !effect.empty()) {
        if (m_switchOwed && target == 0 && !effect.empty()) {
            ok = SendFrames(
                lw52::BuildSetEffectFrames(m_current.values[lw52::kParamEffect], {}, 0, packet));
            if (ok) m_switchOwed = false;
        }
        int leading;
        if (target > 0)
            leading = pendingEffect;
        else if (effect.empty())
            leading = m_current.values[lw52::kParamEffect];
        else
            leading = m_current.values[lw52::kParamEffect] | kModifiedEffectBit;
        ok = ok && SendFrames(lw52::BuildSetEffectFrames(leading, effect,
                                                         static_cast<uint8_t>(target), packet));
        // A card slot that was not written is its caller's failure to report; its record
        // never goes to the live set.
        if (ok || (target >= 1 && target <= 3))
            DropEffectPending();
        else
            m_pendingTarget = target;
    }
    if (m_pending.empty())
        m_throttle.Succeeded();
    else if (IsConnected())
        m_throttle.RetryLater();
    return ok ? 1 : 0;
}

// An effect switch makes the card load the effect's parameters itself: changes to them that
// still wait are void. The others (volumes, switches) still have to reach the card.
void CWorkSpace::DropEffectPending() {
    for (auto it = m_pending.begin(); it != m_pending.end();)
        it = lw52::IsEffectParam(it->first) ? m_pending.erase(it) : std::next(it);
    m_switchOwed = false;
    m_pendingTarget = 0;
}

bool CWorkSpace::TransferRunning() const {
    return m_protocol && (m_protocol->IsSenderBusy() || m_protocol->soundTransferActive.load());
}

void CWorkSpace::LoadRecord(const lw52::EffectRecord& record) {
    DropEffectPending();
    memcpy(m_current.name, record.name, sizeof m_current.name);
    m_current.reserved1024 = record.reserved1024;
    m_current.slot = record.slot;
    m_current.isFileEffect = record.isFileEffect;
    memcpy(m_current.path, record.path, sizeof m_current.path);
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id)) m_current.values[id] = record.values[id];
}

void CWorkSpace::RestoreRecord(const lw52::EffectRecord& record) {
    DropEffectPending();
    m_current = record;
    for (auto& [id, value] : m_pending) value = m_current.values[id];
}

void CWorkSpace::SetCurrentName(const std::string& name) {
    lw52::SetRecordName(m_current, name);
}

int CWorkSpace::ApplyEffect(int index) {
    if (index < 0 || index >= static_cast<int>(m_builtinEffects.size())) return 0;
    LoadRecord(m_builtinEffects[static_cast<size_t>(index)]);
    RefreshControls();
    return SendCurrentEffect();
}

int CWorkSpace::ApplyCustomEffect(int index) {
    if (index < 0 || index >= static_cast<int>(m_customEffects.size())) return 0;
    const lw52::EffectRecord& record = m_customEffects[static_cast<size_t>(index)];
    if (record.empty == 1) return 0;
    LoadRecord(record);
    RefreshControls();
    SendCurrentEffect();
    return 1;
}

int CWorkSpace::SendCurrentEffect() {
    if (!IsConnected()) return 0;
    if (m_current.isFileEffect == 1) return UploadEffectFile(lw52::RecordPath(m_current), 0);
    DropEffectPending();
    const int effect = m_current.values[lw52::kParamEffect];
    if (effect < kPlainEffectLimit) {
        Queue(lw52::kParamEffect, effect);
        m_switchOwed = true;
        return Flush(0);
    }
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id)) Queue(id, m_current.values[id]);
    return Flush(4);
}

void CWorkSpace::RefreshControls() {
    if (!m_binder) return;
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::Param(id).refreshOnLoad) SetControl(id, m_current.values[id]);
    ParamPairs eq;
    for (int id = lw52::kParamEqFirst; id <= lw52::kParamEqLast; ++id)
        eq.emplace_back(id, m_current.values[id]);
    PostParamChanged(std::move(eq));
}

void CWorkSpace::HandleCardData(const FrameBytes& frame) {
    if (frame[0] == lw52::MSG_LEVELS) {
        if (!m_levelForwarding) return;
        if (m_levelsInFlight) {  // not delivered yet: it carries the newest levels instead
            m_levelsInFlight->frame = frame;
            return;
        }
        auto event = std::make_shared<EventVolumeRecvData>(m_eventSender);
        event->frame = frame;
        if (m_notifyCenter) m_levelsInFlight = event;
        Post(event);
        return;
    }
    if (frame[0] != lw52::MSG_DEVICE_CHANGE) return;

    const int packet = m_protocol ? m_protocol->GetPacketSize() : lw52::kPacketSize64;
    const int count = std::min<int>(frame[4], (packet - 1 - 5) / 3);
    bool switched = false;
    int effect = -1;
    for (int i = 0; i < count; ++i) {
        const auto [id, value] = lw52::DecodeEntry(&frame[static_cast<size_t>(5 + 3 * i)]);
        if (id == lw52::kParamEffect) effect = value;
    }
    if (effect >= 0 && effect <= 9) {
        LoadRecord(m_builtinEffects[static_cast<size_t>(effect)]);
        switched = true;
    }
    ParamPairs changes;
    for (int i = 0; i < count; ++i) {
        const auto [id, value] = lw52::DecodeEntry(&frame[static_cast<size_t>(5 + 3 * i)]);
        if (id >= lw52::kParamCount) return;  // an unknown id ends the frame here
        if (id == lw52::kParamMicVolume && value != 0) m_current.values[lw52::kParamMicMute] = 0;
        if (id == lw52::kParamNoiseReduction) ApplyNoiseReduction(value);
        m_current.values[id] = value;
        m_pending.erase(id);  // changed on the card after ours: the card's value stands
        SetControl(id, value);
        changes.emplace_back(id, value);
    }
    RefreshControls();
    if (!changes.empty()) PostParamChanged(std::move(changes));
    if (switched) Post(std::make_shared<EventClearPresetBtnStatu>(m_eventSender));
}

void CWorkSpace::SaveLastStatus() {
    StoreLastStatus();
    m_ready = false;
    if (!m_manager) return;
    uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_CONNECT};
    request[4] = 0;
    uint8_t reply[lw52::kFrameBufferSize];
    m_manager->SendAndReceive(request, reply, kConnectAttempts, kReleaseTimeoutMs);
}

const std::vector<lw52::PresetRecord>& CWorkSpace::PresetList(int group) const {
    static const std::vector<lw52::PresetRecord> none;
    return group >= 0 && group < 4 ? m_presets[static_cast<size_t>(group)] : none;
}
