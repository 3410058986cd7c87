#include "ConsoleCommands.h"

#include <sstream>
#include <vector>

#include "EmulatorOptions.h"
#include "WavWriter.h"

namespace lw52::emu {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string Answer(SendResult result) {
    switch (result) {
        case SendResult::kSent:
            return "ok";
        case SendResult::kNoClient:
            return "ok (no host connected, nothing sent)";
        case SendResult::kInvalid:
            break;
    }
    return "error: invalid frame";
}

}  // namespace

std::string CConsoleCommands::Execute(const std::string& line, bool& quit) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) return std::string();
    const std::string& command = words[0];
    long number = 0;
    if (command == "quit") {
        quit = true;
        return "ok";
    }
    if (command == "state") return m_server.Model().StateJson();
    if (command == "knob") return Knob(words);
    if (command == "levels") return Levels(words);
    if (command == "dump") return Dump(words);
    if (command == "fault") return Fault(words);
    if (command == "faults") return FaultRates(words);
    if (command == "junk") {
        long count = 0;
        if (words.size() != 3 || !ParseNumber(words[1], 0, 100000, count) ||
            !ParseNumber(words[2], 1, m_server.Model().PacketSize(), number))
            return "error: junk COUNT LENGTH (length 1..packet size)";
        return Answer(m_server.SendJunk(static_cast<int>(count), static_cast<int>(number)));
    }
    if (command == "unplug") return m_server.Unplug() ? "ok" : "error: not plugged in";
    if (command == "hangup") return m_server.HangUp() ? "ok" : "error: no host connected";
    if (command == "plug")
        return m_server.Plug() ? "ok" : "error: already plugged in or the device cannot be made";
    if (command == "rate") {
        if (words.size() != 2 || !ParseNumber(words[1], 0, 1000, number))
            return "error: rate HZ (0..1000)";
        m_server.SetLevelsRate(static_cast<int>(number));
        return "ok";
    }
    if (command == "versions") {
        long hardware = 0;
        if (words.size() != 3 || !ParseNumber(words[1], 0, 255, hardware) ||
            !ParseNumber(words[2], 0, 255, number))
            return "error: versions HW FW (0..255 each)";
        m_server.Model().SetVersions(static_cast<uint8_t>(hardware), static_cast<uint8_t>(number));
        return "ok";
    }
    if (command == "help") {
        return "commands: knob ID VALUE [ID VALUE...] | levels MIC ACC | rate HZ | unplug | plug "
               "| hangup | dump SLOT FILE | state | versions HW FW | fault delay MS|drop K|"
               "checksum K|flag K|command K|unplug-after N|clear | junk COUNT LENGTH | faults "
               "[drop=P] [corrupt=P] [seed=N] | "
               "faults off | quit";
    }
    return "error: unknown command '" + command + "' (try help)";
}

std::string CConsoleCommands::Knob(const std::vector<std::string>& words) {
    if (words.size() < 3 || words.size() % 2 == 0) return "error: knob ID VALUE [ID VALUE...]";
    std::vector<ParamEntry> entries;
    for (size_t i = 1; i + 1 < words.size(); i += 2) {
        long id = 0, value = 0;
        if (!ParseNumber(words[i], 0, kParamCount - 1, id) ||
            !ParseNumber(words[i + 1], 0, kValueMask, value))
            return "error: ids are 0..43, values 0..4095";
        entries.push_back({static_cast<uint8_t>(id), static_cast<uint16_t>(value)});
    }
    const SendResult result = m_server.TurnKnobs(entries);
    return result == SendResult::kInvalid ? "error: too many entries for one frame"
                                          : Answer(result);
}

std::string CConsoleCommands::Levels(const std::vector<std::string>& words) {
    long mic = 0, acc = 0;
    if (words.size() != 3 || !ParseNumber(words[1], 0, 9, mic) || !ParseNumber(words[2], 0, 9, acc))
        return "error: levels MIC ACC (0..9 each)";
    return Answer(m_server.SendLevels(static_cast<int>(mic), static_cast<int>(acc)));
}

std::string CConsoleCommands::Dump(const std::vector<std::string>& words) {
    long slot = 0;
    if (words.size() != 3 || !ParseNumber(words[1], 1, kCustomSlotCount, slot))
        return "error: dump SLOT FILE (slot 1..3)";
    const SoundSlot sound = m_server.Model().Sound(static_cast<int>(slot));
    if (!sound.announced) return "error: slot " + words[1] + " holds no sound";
    if (!WriteWavFile(words[2], sound.pcm)) return "error: cannot write " + words[2];
    return "ok " + std::to_string(sound.pcm.size()) + " bytes" +
           (sound.complete ? "" : " (incomplete)");
}

std::string CConsoleCommands::Fault(const std::vector<std::string>& words) {
    CCardModel& model = m_server.Model();
    if (words.size() == 2 && words[1] == "clear") {
        model.ClearFaults();
        return "ok";
    }
    long count = 0;
    if (words.size() != 3 || !ParseNumber(words[2], 0, 1000000, count))
        return "error: fault delay MS|drop K|checksum K|flag K|command K|unplug-after N|clear";
    const int value = static_cast<int>(count);
    const std::string& kind = words[1];
    if (kind == "delay")
        model.SetReplyDelay(value);
    else if (kind == "drop")
        model.DropReplies(value);
    else if (kind == "checksum")
        model.CorruptChecksums(value);
    else if (kind == "flag")
        model.BadFlags(value);
    else if (kind == "command")
        model.BadCommands(value);
    else if (kind == "unplug-after")
        model.UnplugAfter(value);
    else
        return "error: unknown fault '" + kind + "'";
    return "ok";
}

// "faults drop=30 corrupt=10 seed=7" sets the random reply faults (a rate left out is 0);
// "faults off" stops them and leaves the count faults alone.
std::string CConsoleCommands::FaultRates(const std::vector<std::string>& words) {
    const char* usage = "error: faults [drop=P] [corrupt=P] [seed=N] | faults off (P 0..100)";
    CCardModel& model = m_server.Model();
    if (words.size() == 2 && words[1] == "off") {
        model.SetFaultRates(0, 0);
        return "ok";
    }
    if (words.size() < 2) return usage;
    long drop = 0, corrupt = 0, seed = -1;
    for (size_t i = 1; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        const std::string key = words[i].substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : words[i].substr(eq + 1);
        const bool ok = key == "drop"      ? ParseNumber(value, 0, 100, drop)
                        : key == "corrupt" ? ParseNumber(value, 0, 100, corrupt)
                        : key == "seed"    ? ParseNumber(value, 0, 0xFFFFFFFFL, seed)
                                           : false;
        if (!ok) return usage;
    }
    if (seed >= 0) model.SeedFaults(static_cast<uint32_t>(seed));
    model.SetFaultRates(static_cast<int>(drop), static_cast<int>(corrupt));
    return "ok";
}

}  // namespace lw52::emu
