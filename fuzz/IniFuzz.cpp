// Settings files as the program reads them: the INI text in either encoding, every key
// looked up both ways, the struct blobs decoded, one edit read back, and the stored records
// and settings loaded as at start-up.
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "IniDocument.h"
#include "IniFile.h"
#include "Records.h"
#include "Settings.h"
#include "WorkSpace.h"

namespace {

// Every lookup is one pass over the text: a bound keeps an input's cost linear in its size.
constexpr size_t kMaxSections = 8;
constexpr size_t kMaxKeys = 16;

template <typename Record>
void ReadBlob(const CIniDocument& doc, const std::string& section, const std::string& key) {
    Record record{};
    doc.GetStruct(section, key, &record, sizeof record);
}

void LookUpEverything(const CIniDocument& doc, bool narrow) {
    size_t keys = 0;
    const auto sections = doc.SectionNames();
    for (size_t s = 0; s < sections.size() && s < kMaxSections; ++s) {
        for (const std::string& key : doc.KeyNames(sections[s])) {
            if (++keys > kMaxKeys) return;
            const auto found = doc.Find(sections[s], key);
            // Names of UTF-16 text that is not valid UTF-16 do not survive the trip through
            // UTF-8; 8-bit names do, and then both lookups must agree.
            if (narrow && found != doc.Get(sections[s], key))
                fuzz::Violated("Find and Get disagree");
            doc.GetInt(sections[s], key, -1);
            ReadBlob<lw52::EffectRecord>(doc, sections[s], key);
            ReadBlob<lw52::PresetRecord>(doc, sections[s], key);
            ReadBlob<lw52::CloudEffectRecord>(doc, sections[s], key);
        }
    }
}

// A value written to a key the text already names is read back as written. (Get's index keys
// names by their UTF-8 form: of two UTF-16 names that become the same UTF-8 it keeps the first.)
void EditAndReadBack(CIniDocument& doc, bool narrow) {
    const auto sections = doc.SectionNames();
    if (sections.empty()) return;
    const std::string& section = sections.front();
    const auto keys = doc.KeyNames(section);
    const std::string key = keys.empty() ? "FuzzKey" : keys.front();
    if (CIniDocument::WriteProblem(section, key, "fuzz")) return;
    if (!doc.SetValue(section, key, "fuzz")) fuzz::Violated("SetValue refused a usable name");
    if (doc.Find(section, key) != std::optional<std::string>("fuzz"))
        fuzz::Violated("a written value does not read back (Find)");
    if (narrow && doc.Get(section, key) != std::optional<std::string>("fuzz"))
        fuzz::Violated("a written value does not read back (Get)");
    doc.DeleteKey(section, key);
    doc.AppendSection("FuzzSection", {{"a", "1"}, {"b", "2"}});
    doc.DeleteSection(section);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteTempFile("settings.ini", data, size);
    CIniDocument doc;
    if (!doc.Read(path)) return 0;
    const bool narrow = !(size >= 2 && data[0] == 0xFF && data[1] == 0xFE);
    LookUpEverything(doc, narrow);

    // The single-call interface reads the file afresh and must see what the document sees.
    const auto sections = doc.SectionNames();
    if (!sections.empty()) {
        const auto keys = doc.KeyNames(sections.front());
        if (!keys.empty() && narrow) {
            const CIniFile ini(path);
            const auto found = doc.Find(sections.front(), keys.front());
            if (found && ini.GetString(sections.front(), keys.front(), "") != *found)
                fuzz::Violated("CIniFile and CIniDocument disagree");
        }
    }
    EditAndReadBack(doc, narrow);

    // Start-up: the integer settings, then the records the workspace keeps in the same file.
    CSettings settings;
    settings.Load(path);
    CWorkSpace::Context context;
    context.settingsPath = path;
    CWorkSpace workspace(context);
    return 0;
}
