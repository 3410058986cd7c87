#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The program's own UI events. Each has a fixed id and name; subscription and delivery go
// by id (three ids share the name "on_event_dosenddata"). Payload fields belong to the
// part of the program that fires the event; they are copies, never pointers into another
// thread's buffers.
class EventArgs {
  public:
    EventArgs(int id, const char* name, const void* sender)
        : m_id(id), m_name(name), m_sender(sender) {}
    virtual ~EventArgs() = default;
    int Id() const { return m_id; }
    const char* Name() const { return m_name; }
    const void* Sender() const { return m_sender; }

  private:
    int m_id;
    const char* m_name;
    const void* m_sender;
};

template <int kEventId>
class TypedEvent : public EventArgs {
  public:
    static constexpr int kId = kEventId;
    TypedEvent(const char* name, const void* sender) : EventArgs(kEventId, name, sender) {}
};

#define LW52_DECLARE_EVENT(Class, IdValue, NameText)   \
    class Class : public TypedEvent<IdValue> {         \
      public:                                          \
        static constexpr const char* kName = NameText; \
        explicit Class(const void* sender = nullptr) : TypedEvent(kName, sender) {}

class CThreadObject;
class CTreeData;
namespace lw52 {
struct CloudEffectRecord;
}
namespace cloud_sound {
struct CategoryList;
}

// A 64-byte device frame carried by value.
using FrameBytes = std::array<uint8_t, 64>;
using ParamPairs = std::vector<std::pair<int32_t, int32_t>>;

LW52_DECLARE_EVENT(EventRecvData, 10030001, "on_recv_data")
FrameBytes frame{};
}
;
LW52_DECLARE_EVENT(EventParamChanged, 10030002, "on_param_changed")
ParamPairs pairs;
}
;
LW52_DECLARE_EVENT(EventCloudSoundFileReady, 10030003, "on_cloud_sound_ready")
CThreadObject* worker = nullptr;  // the receiver stops and lets go of it
int32_t cloudId = 0;
int32_t padId = 0;
std::string localPath;  // UTF-8
std::u16string name;    // the clip's name
int32_t followUp = 0;   // 0 play, 1 add to favourites, 2 send to the card
int32_t success = 0;
std::string error;  // UTF-8
}
;
LW52_DECLARE_EVENT(EventPlaybackMsg, 10030004, "on_event_playback_msg")
const void* context = nullptr;  // identifies the owner of the player that notified
uint32_t code = 0;              // 0x10000: playback ended
}
;
LW52_DECLARE_EVENT(EventThreadCloudSoundFinishEvent, 10030005, "on_cloud_sound_finish")
CThreadObject* worker = nullptr;  // the receiver stops and lets go of it
int32_t success = 0;              // of the category list
// The categories and their clips, for the receiver to install; null after a failure.
std::shared_ptr<const cloud_sound::CategoryList> list;
std::string error;  // UTF-8
}
;
// The list is shared, not copied: its record type belongs to the workspace, which this
// layer does not include. Null when the fetch produced no list.
LW52_DECLARE_EVENT(EventThreadCloudEffectFinishEvent, 10030006, "on_cloud_effect_finish")
CThreadObject* worker = nullptr;  // the receiver stops and lets go of it
uint64_t serial = 0;  // which fetch this is: matched by receivers, unlike a reusable address
std::shared_ptr<const std::vector<lw52::CloudEffectRecord>> records;
int32_t success = 0;
std::string error;  // UTF-8; carried, not shown
}
;
LW52_DECLARE_EVENT(EventCommonThreadFinishEvent, 10030007, "on_thread_finish")
int32_t tag = 0;  // which kind of worker finished; receivers ignore other tags
CThreadObject* worker = nullptr;
CTreeData* leaf = nullptr;  // identifies the entry; the receiver checks it still exists
int32_t success = 0;
std::string error;  // UTF-8
}
;
LW52_DECLARE_EVENT(EventDeviceChanged, 10030008, "on_device_changed")
}
;
// 10030009 has a name only; the effects page registers it.
constexpr int kEventUpgradeFirmwareId = 10030009;
constexpr const char* kEventUpgradeFirmwareName = "on_upgrade_firmware";
LW52_DECLARE_EVENT(EventDecoderFinsh, 10030011, "on_event_decoder_staus")
int32_t status = 0;   // 1 decoded, 0 nothing decoded
std::string wavPath;  // the WAV file made (status 1)
}
;
LW52_DECLARE_EVENT(EventVolumeChange, 10030012, "on_event_volumechange")
int32_t volume = 0;  // 0..100
}
;
LW52_DECLARE_EVENT(EventDoSendData, 10030013, "on_event_dosenddata")
std::string path;          // a file path (UTF-8) or, with the resource flag, a clip's resource name
int32_t resourceFlag = 0;  // 1: path names a built-in clip
}
;
LW52_DECLARE_EVENT(EventClearPresetBtnStatu, 10030014, "on_event_dosenddata")
}
;
LW52_DECLARE_EVENT(EventLoadAudioFileFinsh, 10030015, "on_event_dosenddata")
int32_t opened = 0;  // 1 the recording opened on the player, 0 not
std::string error;   // the component's text when it did not
}
;
LW52_DECLARE_EVENT(EventVolumeRecvData, 10030016, "on_event_eventvolumerecvdata")
FrameBytes frame{};
}
;
LW52_DECLARE_EVENT(EventForbidNoiseReductionLevelParam, 10030017,
                   "on_event_forbidnoisereductionlevelparam")
int32_t value = 0;
}
;
LW52_DECLARE_EVENT(EventForbidOpreateWindow, 10030018, "on_event_forbidoperatewindow")
}
;

#undef LW52_DECLARE_EVENT

struct UiEventInfo {
    int id;
    const char* name;
};

// Every program UI event, in id order (including the name-only 10030009).
const std::vector<UiEventInfo>& AllUiEvents();
