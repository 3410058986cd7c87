#include "UiEvents.h"

const std::vector<UiEventInfo>& AllUiEvents() {
    static const std::vector<UiEventInfo> events = {
        {EventRecvData::kId, EventRecvData::kName},
        {EventParamChanged::kId, EventParamChanged::kName},
        {EventCloudSoundFileReady::kId, EventCloudSoundFileReady::kName},
        {EventPlaybackMsg::kId, EventPlaybackMsg::kName},
        {EventThreadCloudSoundFinishEvent::kId, EventThreadCloudSoundFinishEvent::kName},
        {EventThreadCloudEffectFinishEvent::kId, EventThreadCloudEffectFinishEvent::kName},
        {EventCommonThreadFinishEvent::kId, EventCommonThreadFinishEvent::kName},
        {EventDeviceChanged::kId, EventDeviceChanged::kName},
        {kEventUpgradeFirmwareId, kEventUpgradeFirmwareName},
        {EventDecoderFinsh::kId, EventDecoderFinsh::kName},
        {EventVolumeChange::kId, EventVolumeChange::kName},
        {EventDoSendData::kId, EventDoSendData::kName},
        {EventClearPresetBtnStatu::kId, EventClearPresetBtnStatu::kName},
        {EventLoadAudioFileFinsh::kId, EventLoadAudioFileFinsh::kName},
        {EventVolumeRecvData::kId, EventVolumeRecvData::kName},
        {EventForbidNoiseReductionLevelParam::kId, EventForbidNoiseReductionLevelParam::kName},
        {EventForbidOpreateWindow::kId, EventForbidOpreateWindow::kName},
    };
    return events;
}
