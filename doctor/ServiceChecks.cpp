// The checks beyond the card: the sound server, the cloud service, the user's folder, and all
// of them in one run.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "AppPaths.h"
#include "AudioStream.h"
#include "CloudApi.h"
#include "CloudEffectFiles.h"
#include "DeviceFilter.h"
#include "Doctor.h"
#include "LibCurlHelper.h"

namespace doctor {
namespace {

const char* const kCardFilter = "LW52";

std::string OwnerName(uid_t uid) {
    const passwd* pw = getpwuid(uid);
    return pw && pw->pw_name ? pw->pw_name : std::to_string(uid);
}

// The display name of the default output or input, or "none".
std::string DefaultName(audio::IAudioStream& stream, bool output) {
    const int count = output ? stream.GetOutputDeviceCount() : stream.GetInputDeviceCount();
    for (int i = 0; i < count; ++i) {
        audio::DeviceInfo info;
        if ((output ? stream.GetOutputDeviceInfo(i, info) : stream.GetInputDeviceInfo(i, info)) &&
            info.isDefault)
            return "\"" + info.displayName + "\"";
    }
    return "none";
}

Finding DeviceFinding(audio::IAudioStream& stream, bool output) {
    const int picked = audio::SelectDeviceByFilter(stream, output, kCardFilter);
    audio::DeviceInfo info;
    const bool found = picked >= 0 && (output ? stream.GetOutputDeviceInfo(picked, info)
                                              : stream.GetInputDeviceInfo(picked, info));
    const std::string use = output ? "plays the sound pads" : "records the line input";
    Finding f{output ? "sound-output" : "sound-input", Status::kOk, {}, {}, {}};
    if (found) {
        f.text = std::string(output ? "The output \"" : "The input \"") + info.displayName +
                 "\" (" + info.name + ") " + use + ".";
        f.device = info.name;
        return f;
    }
    f.status = Status::kNote;
    f.text = std::string("No ") + (output ? "output" : "input") + " is named LW52: the panel " +
             (output ? "plays the sound pads on the default output (" + DefaultName(stream, true)
                     : "records from the default input (" + DefaultName(stream, false)) +
             ").";
    f.fix = std::string("with the card plugged in, its sound device must be enabled: pactl list ") +
            (output ? "short sinks" : "short sources") +
            " lists what there is, pactl list cards shows the card's profile (not \"off\")";
    return f;
}

Finding WriteProblem(const std::string& what, const std::string& path, int error,
                     const std::string& user) {
    Finding f{"userdir", Status::kProblem, {}, {}, path};
    f.text = what + ": " + strerror(error) + ". Settings, effects and clips are kept there.";
    struct stat st {};
    if ((error == EACCES || error == EPERM) && stat(path.c_str(), &st) == 0 &&
        st.st_uid != getuid()) {
        f.text += " It belongs to " + OwnerName(st.st_uid) + " (was the panel run with sudo?).";
        f.fix = "sudo chown -R " + user + ": " + ShellQuoted(path);
    } else if (error == EACCES || error == EPERM) {
        f.fix = "chmod u+rwx " + ShellQuoted(path);
    } else if (error == ENOSPC || error == EDQUOT) {
        f.fix = "free some space on that file system (df -h " + ShellQuoted(path) + ")";
    } else if (error == EROFS) {
        f.fix = "the file system is mounted read-only: set XDG_DATA_HOME to a writable folder";
    }
    return f;
}

}  // namespace

std::vector<Finding> CheckSound() {
    std::vector<Finding> findings;
    audio::IAudioStream* stream = audio::CreateAudioStream();
    if (!stream) {
        findings.push_back({"sound", Status::kProblem, "No audio stream can be created.", {}, {}});
        return findings;
    }
    const int outputs = stream->GetOutputDeviceCount();
    const char* why = stream->GetLastErrorText();
    if (outputs <= 0 && why) {
        findings.push_back(
            {"sound",
             Status::kProblem,
             std::string("The sound server does not answer (") + why +
                 "): the sound pads cannot play and nothing can be recorded.",
             "start it: systemctl --user restart pipewire pipewire-pulse (PipeWire), or "
             "pulseaudio --start (PulseAudio)",
             {}});
        stream->Release();
        return findings;
    }
    const int inputs = stream->GetInputDeviceCount();
    findings.push_back({"sound",
                        Status::kOk,
                        "The sound server answers: " + std::to_string(outputs) + " outputs, " +
                            std::to_string(inputs) + " inputs.",
                        {},
                        {}});
    findings.push_back(DeviceFinding(*stream, true));
    findings.push_back(DeviceFinding(*stream, false));
    stream->Release();
    return findings;
}

Finding CheckCloud() {
    const std::string settings = app_paths::SettingsPath();
    const std::string base = cloud::BaseUrl(settings);
    const std::string url = cloud::ApiUrl(cloud::kPathEffectList, settings);
    // The request "cloud ping" and the panel's cloud tree make, read the same way.
    std::vector<char> buffer(cloud::kResponseBufferSize, '\0');
    const int used =
        CLibCurlHelper::HttpPost(url, cloud::kBodyEffectList, buffer.data(), buffer.size());
    Finding f{"cloud", Status::kProblem, {}, {}, base};
    const std::string needs = ": cloud effects, cloud sounds and the firmware check need it.";
    if (used <= 0) {
        f.text = "The cloud service at " + base +
                 " gives no answer (no network, a wrong address, an HTTP error, or nothing within "
                 "7 s)" +
                 needs;
        f.fix = "check the network connection (curl -sS -d '" +
                std::string(cloud::kBodyEffectList) + "' " + url +
                " shows what comes back); another address goes in $LW52_CLOUD_URL";
        return f;
    }
    std::vector<lw52::CloudEffectRecord> records;
    std::string error;
    const size_t length = std::min(static_cast<size_t>(used), buffer.size() - 1);
    if (!cloud_effect::ParseEffectList(std::string_view(buffer.data(), length), records, error)) {
        f.text = "The cloud service at " + base + " answers, but not with the effect list (" +
                 error + ")" + needs;
        f.fix = "check the service address (" + base + "); another one goes in $LW52_CLOUD_URL";
        return f;
    }
    f.status = Status::kOk;
    f.text = "The cloud service answers at " + base + ": " + std::to_string(records.size()) +
             " cloud effects.";
    return f;
}

Finding CheckUserFolder() {
    const std::string dir = app_paths::UserDirPath();
    const passwd* pw = getpwuid(getuid());
    const std::string user = pw && pw->pw_name ? pw->pw_name : std::to_string(getuid());
    if (dir.empty())
        return {"userdir",
                Status::kProblem,
                "No home folder is known ($HOME is not set and the user has none): settings "
                "cannot be kept.",
                "set HOME (or XDG_DATA_HOME) to a folder of yours",
                {}};
    if (app_paths::UserDir().empty()) {
        // The nearest folder that is there refuses the next one down: try that one again to
        // learn why.
        std::string parent = dir;
        while (parent.size() > 1 && access(parent.c_str(), F_OK) != 0) {
            const size_t slash = parent.rfind('/');
            if (slash == std::string::npos) break;
            parent.erase(std::max<size_t>(slash, 1));
        }
        const std::string next = dir.substr(0, dir.find('/', parent.size() + 1));
        const int error = mkdir(next.c_str(), 0700) == 0 ? EIO : errno;
        if (error == EIO) rmdir(next.c_str());
        return WriteProblem("Your folder " + dir + " cannot be made in " + parent, parent, error,
                            user);
    }
    std::string probe = dir + "/.lw52-doctor-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return WriteProblem("Your folder " + dir + " cannot be written", dir, errno, user);
    const bool written = write(fd, "x", 1) == 1;
    const int writeError = errno;
    close(fd);
    unlink(probe.c_str());
    if (!written)
        return WriteProblem("Your folder " + dir + " cannot be written", dir, writeError, user);
    const std::string settings = app_paths::SettingsPath();
    if (access(settings.c_str(), F_OK) == 0 && access(settings.c_str(), W_OK) != 0)
        return WriteProblem("The settings file " + settings + " cannot be written", settings, errno,
                            user);
    return {"userdir",
            Status::kOk,
            "Your folder " + dir + " can be written (settings, effects and clips are kept there).",
            {},
            dir};
}

std::vector<Finding> Diagnose(const Environment& env, const Options& options) {
    std::vector<Finding> findings = CheckDevices(env).findings;
    Finding panel{
        "panel", Status::kOk, "The panel is not running: lw52ctl opens the card itself.", {}, {}};
    if (env.panel.running && env.panel.attached) {
        panel.status = Status::kNote;
        panel.text =
            "The panel is running and holds the card: lw52ctl's card commands go through it.";
    } else if (env.panel.running) {
        panel.status = Status::kNote;
        panel.text = "The panel is running without a card" +
                     (env.panel.detail.empty() ? std::string() : " (" + env.panel.detail + ")") +
                     ": lw52ctl's card commands go through it.";
    }
    findings.push_back(panel);
    if (options.devicesOnly) return findings;

    // The two network waits overlap: the cloud service on a thread of its own.
    Finding cloud;
    std::thread cloudThread;
    try {
        cloudThread = std::thread([&cloud] { cloud = CheckCloud(); });
    } catch (const std::system_error&) {
        cloud = CheckCloud();
    }
    for (Finding& f : CheckSound()) findings.push_back(std::move(f));
    if (cloudThread.joinable()) cloudThread.join();
    findings.push_back(cloud);
    findings.push_back(CheckUserFolder());
    return findings;
}

}  // namespace doctor
