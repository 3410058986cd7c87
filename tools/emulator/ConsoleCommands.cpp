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
    if (command == "unplug") return m_server.Unplug() ? "ok" : "error: not plugged in";
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
               "| dump SLOT FILE | state | versions HW FW | fault delay MS|drop K|checksum K|flag "
               "K|"
               "unplug-after N|clear | quit";
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
        return "error: fault delay MS|drop K|checksum K|flag K|unplug-after N|clear";
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
    else if (kind == "unplug-after")
        model.UnplugAfter(value);
    else
        return "error: unknown fault '" + kind + "'";
    return "ok";
}

}  // namespace lw52::emu
