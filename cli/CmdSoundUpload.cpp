// convert-sound and upload-sound: a clip prepared as the panel's upload window prepares it
// (decoded at the decoder volume for the pad volume and the master level, at most 20 seconds,
// 48 kHz mono 16-bit), written to a WAV file or sent into one of the card's sound slots.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CardSession.h"
#include "ClipPipeline.h"
#include "Commands.h"
#include "CtlCard.h"
#include "Json.h"
#include "MasterVolume.h"
#include "PanelLink.h"
#include "PcmConverter.h"
#include "SafeFile.h"
#include "SoundSender.h"
#include "UploadVolume.h"
#include "WaveFile.h"

namespace {

constexpr const char* kBuiltinPrefix = "builtin:";
constexpr double kBytesPerSecond = upload::kCardSampleRate * 2.0;

struct ClipArgs {
    std::vector<std::string> positional;
    long volume = 100;
    double master = 1.0;
    bool masterGiven = false;
    long slot = 0;  // upload-sound only
};

// Parses [--volume V] [--master LEVEL] (and --slot N when allowed) around the positional
// arguments; a usage message in error when something is wrong.
bool ParseClipArgs(const std::vector<std::string>& args, bool allowSlot, ClipArgs& out,
                   std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        char* end = nullptr;
        if (arg == "--volume") {
            if (!hasValue) return error = "--volume needs a value (0..100)", false;
            errno = 0;
            out.volume = strtol(args[++i].c_str(), &end, 10);
            if (args[i].empty() || *end != '\0' || errno != 0 || out.volume < 0 || out.volume > 100)
                return error = "--volume takes 0..100", false;
        } else if (arg == "--master") {
            if (!hasValue) return error = "--master needs a level (0.0..1.0)", false;
            out.master = strtod(args[++i].c_str(), &end);
            if (args[i].empty() || *end != '\0' || !(out.master >= 0.0 && out.master <= 1.0))
                return error = "--master takes a level of 0.0..1.0", false;
            out.masterGiven = true;
        } else if (allowSlot && arg == "--slot") {
            if (!hasValue) return error = "--slot needs a sound slot (1..3)", false;
            out.slot = strtol(args[++i].c_str(), &end, 10);
            if (args[i].empty() || *end != '\0' || out.slot < 1 || out.slot > 3)
                return error = "--slot takes 1..3", false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return error = "unknown option '" + arg + "'", false;
        } else {
            out.positional.push_back(arg);
        }
    }
    return true;
}

// The level the upload is made at: --master, else the default output's level; 1.0 when there
// is no sound server to ask.
double MasterLevel(const CliContext& ctx, const ClipArgs& args) {
    if (args.masterGiven) return args.master;
    double level = 1.0;
    std::string error;
    if (audio::ReadMasterVolume(level, &error)) return level;
    if (ctx.verbose)
        fprintf(stderr, "lw52ctl: master level not read (%s); using 1.0\n", error.c_str());
    return 1.0;
}

struct PreparedClip {
    std::string source;  // as given, "builtin:NAME" included
    int volume = 100;
    double master = 1.0;
    int decoderVolume = 100;
    std::vector<uint8_t> pcm;
};

// Runs the preparation; on failure returns the exit code after the one line on stderr, else -1.
int Prepare(const CliContext& ctx, const ClipArgs& args, const std::string& source,
            PreparedClip& clip) {
    clip.source = source;
    clip.volume = static_cast<int>(args.volume);
    clip.master = MasterLevel(ctx, args);
    clip.decoderVolume = upload::DecoderVolume(clip.volume, upload::MasterPercent(clip.master));
    const bool builtin = source.rfind(kBuiltinPrefix, 0) == 0;
    const std::string name = builtin ? source.substr(strlen(kBuiltinPrefix)) : source;
    const upload::PrepareResult result =
        upload::PrepareClip(name, builtin ? 1 : 0, clip.volume, clip.master, clip.pcm);
    if (result == upload::PrepareResult::kOk) return -1;
    std::string why;
    if (result == upload::PrepareResult::kNotLoaded)
        why = "the decoded clip could not be read back and converted";
    else if (builtin)
        why = "no built-in clip named " + name;
    else if (access(name.c_str(), R_OK) != 0)
        why = "cannot read " + name + ": " + strerror(errno);
    else
        why = "nothing could be decoded from " + name;
    return Fail(std::string(upload::PrepareFailureText(result)) + " (" + why + ")");
}

// Writes the PCM as a 48 kHz mono 16-bit WAV file. A file is replaced whole (a temporary file
// renamed over it), so a crash or a full disk leaves the earlier one; a FIFO or a device (a
// pipe to another program) is written straight through, as there is nothing to keep.
bool WriteCardWav(const std::string& path, const std::vector<uint8_t>& pcm, std::string& error) {
    uint8_t header[upload::CWaveFile::kHeaderSize];
    upload::MakeWavHeader(upload::Pcm16(1, upload::kCardSampleRate),
                          static_cast<uint32_t>(pcm.size()), header);
    std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(pcm.data()), pcm.size());

    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return fileio::ReplaceFileContents(path, bytes, &error);
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = strerror(errno);
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        if (n > 0) done += static_cast<size_t>(n);
    }
    if (!ok) error = strerror(errno);
    close(fd);
    return ok;
}

std::atomic<bool> g_interrupted{false};
void OnInterrupt(int) {
    g_interrupted = true;
}

// "[=====     ] 1200/34286 frames  67200/1920000 bytes   3%" on one terminal line: at most
// ten redraws a second, and the last state whatever the time.
class ClipBar {
  public:
    explicit ClipBar(bool terminal) : m_terminal(terminal) {}
    void Update(int frames, int totalFrames, uint64_t bytes, int totalBytes) {
        if (!m_terminal) return;
        m_frames = frames;
        m_totalFrames = totalFrames;
        m_bytes = bytes;
        m_totalBytes = totalBytes;
        m_known = true;
        const bool last = bytes >= static_cast<uint64_t>(totalBytes);
        if (last || Clock::now() - m_drawnAt >= std::chrono::milliseconds(100)) Draw();
    }
    // Draws the last state when the throttle held it back, and ends the line.
    void End() {
        if (m_known && (!m_drawn || m_bytes != m_drawnBytes)) Draw();
        if (m_drawn) fprintf(stderr, "\n");
        m_drawn = m_known = false;
    }

  private:
    using Clock = std::chrono::steady_clock;
    void Draw() {
        if (m_drawn && m_bytes == m_drawnBytes) return;
        const int width = 30;
        const int percent =
            m_totalBytes > 0 ? static_cast<int>(m_bytes * 100 / static_cast<uint64_t>(m_totalBytes))
                             : 100;
        const int filled = std::min(percent, 100) * width / 100;
        fprintf(stderr, "\r[%.*s%*s] %d/%d frames  %llu/%d bytes  %3d%%", filled,
                "==============================", width - filled, "", m_frames, m_totalFrames,
                static_cast<unsigned long long>(m_bytes), m_totalBytes, percent);
        fflush(stderr);
        m_drawn = true;
        m_drawnBytes = m_bytes;
        m_drawnAt = Clock::now();
    }

    bool m_terminal;
    bool m_known = false;  // a state was given
    bool m_drawn = false;
    int m_frames = 0, m_totalFrames = 0, m_totalBytes = 0;
    uint64_t m_bytes = 0, m_drawnBytes = 0;
    Clock::time_point m_drawnAt{};
};

}  // namespace

int CmdConvertSound(const CliContext& ctx) {
    ClipArgs args;
    std::string error;
    if (!ParseClipArgs(ctx.args, false, args, error)) return UsageError(error);
    if (args.positional.size() != 2)
        return UsageError("usage: convert-sound IN OUT.wav [--volume V] [--master LEVEL]");
    const std::string& out = args.positional[1];
    PreparedClip clip;
    const int failed = Prepare(ctx, args, args.positional[0], clip);
    if (failed >= 0) return failed;
    if (!WriteCardWav(out, clip.pcm, error)) return Fail("cannot write " + out + ": " + error);

    const double seconds = static_cast<double>(clip.pcm.size()) / kBytesPerSecond;
    if (ctx.json) {
        Json::Value json;
        json["source"] = clip.source;
        json["path"] = out;
        json["bytes"] = static_cast<Json::UInt64>(clip.pcm.size());
        json["seconds"] = seconds;
        json["volume"] = clip.volume;
        json["master"] = clip.master;
        json["decoderVolume"] = clip.decoderVolume;
        PrintJson(json);
    } else {
        printf("converted %s to %s: %zu bytes, %.3f s at %u Hz mono (volume %d, master %g)\n",
               clip.source.c_str(), out.c_str(), clip.pcm.size(), seconds, upload::kCardSampleRate,
               clip.volume, clip.master);
    }
    return kExitOk;
}

int CmdUploadSound(const CliContext& ctx) {
    ClipArgs args;
    std::string error;
    if (!ParseClipArgs(ctx.args, true, args, error)) return UsageError(error);
    if (args.positional.size() != 1 || args.slot == 0)
        return UsageError("usage: upload-sound FILE --slot 1..3 [--volume V] [--master LEVEL]");
    const int slot = static_cast<int>(args.slot);
    // A file's path absolute either way: the panel has a working folder of its own.
    const std::string& given = args.positional[0];
    const std::string source = given.rfind(kBuiltinPrefix, 0) == 0 ? given : AbsolutePath(given);
    ClipBar bar(isatty(STDERR_FILENO) && !ctx.json);

    PanelCall call;
    call.request["op"] = "upload-sound";
    call.request["file"] = source;
    call.request["slot"] = slot;
    call.request["volume"] = static_cast<int>(args.volume);
    if (args.masterGiven) call.request["master"] = args.master;  // else the panel's system level
    call.onEvent = [&](const std::string& name, const Json::Value& data) {
        // Progress with no total yet only says the panel is still decoding or waiting.
        if (name == "progress" && data["totalBytes"].asInt() > 0)
            bar.Update(data["frames"].asInt(), data["totalFrames"].asInt(),
                       data["bytes"].asUInt64(), data["totalBytes"].asInt());
    };
    call.settle = [&] { bar.End(); };
    call.wait = PanelLink::Wait::kSilence;
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& out) {
            // Nothing goes to the card unless the clip is ready.
            PreparedClip clip;
            const int failed = Prepare(ctx, args, source, clip);
            if (failed >= 0) return failed;

            CardSession card;
            if (!card.Open(ctx.devicePath)) return Fail(card.Error());
            const int packet = card.Protocol().GetPacketSize();
            const int bytes = static_cast<int>(clip.pcm.size());
            const int frames = upload::DataFrameCount(bytes, packet);
            const int payload = upload::PayloadSize(packet);

            MessageQueue messages;
            upload::CSoundSender sender;
            if (!sender.Start(card.Protocol(), slot, std::move(clip.pcm), &messages))
                return Fail("cannot start the transfer");
            g_interrupted = false;
            std::signal(SIGINT, OnInterrupt);
            std::signal(SIGTERM, OnInterrupt);

            uint64_t acknowledged = 0;
            int result = -1;
            MessageQueue::Message m{};
            // The sender always ends with its result: each exchange gives up after its attempts.
            while (result < 0) {
                if (g_interrupted) sender.RequestStop();
                if (!messages.Wait(m, 100)) continue;
                if (m.message == upload::MSG_SEND_PROGRESS) acknowledged = m.wParam;
                if (m.message == upload::MSG_SEND_DONE) result = static_cast<int>(m.wParam);
                if (m.message != upload::MSG_SEND_STARTED)
                    bar.Update(static_cast<int>((acknowledged + payload - 1) / payload), frames,
                               acknowledged, bytes);
            }
            sender.Join();
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            bar.End();
            if (result != 0)
                return Fail(g_interrupted
                                ? "载入特效失败 (stopped)"
                                : "载入特效失败 (" + std::to_string(acknowledged) + " of " +
                                      std::to_string(bytes) +
                                      " bytes acknowledged before the card stopped answering)");
            out["path"] = clip.source;
            out["slot"] = slot;
            out["bytes"] = bytes;
            out["frames"] = frames;
            out["packetSize"] = packet;
            out["seconds"] = bytes / kBytesPerSecond;
            return kExitOk;
        },
        [&](const Json::Value& uploaded) {
            if (ctx.json) return PrintJson(uploaded);
            printf("uploaded %s to sound slot %d: %d bytes in %d frames\n",
                   uploaded["path"].asString().c_str(), uploaded["slot"].asInt(),
                   uploaded["bytes"].asInt(), uploaded["frames"].asInt());
        });
}
