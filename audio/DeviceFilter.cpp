#include "DeviceFilter.h"

namespace audio {

int SelectDeviceByFilter(IAudioStream& stream, bool output, const std::string& filter) {
    const int count = output ? stream.GetOutputDeviceCount() : stream.GetInputDeviceCount();
    for (int i = 0; i < count; ++i) {
        DeviceInfo info;
        if (!(output ? stream.GetOutputDeviceInfo(i, info) : stream.GetInputDeviceInfo(i, info)))
            continue;
        if (info.displayName.find(filter) == std::string::npos &&
            info.name.find(filter) == std::string::npos)
            continue;
        const int selected = output ? stream.SelectOutputDevice(i) : stream.SelectInputDevice(i);
        return selected ? i : -1;
    }
    return -1;
}

}  // namespace audio
