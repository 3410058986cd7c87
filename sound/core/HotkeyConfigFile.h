#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of a private-profile file held in memory for a whole load or save: read once,
// looked up and edited in memory, and written back with one replacement of the file. The
// lookups and edits behave exactly as those of CIniFile (same matching, same placement of new
// lines, same code units: UTF-16LE behind a byte-order mark, else 8-bit text), so a save made
// here leaves the bytes a key-by-key save through CIniFile would leave.
//
// Names and values are UTF-8. The file is assumed not to change behind the object's back
// between Read and Write; the sound pads' configuration file is written by the UI thread only.
class HotkeyConfigFile {
  public:
    using KeyValues = std::vector<std::pair<std::string, std::string>>;

    // Reads path. A missing file reads as empty 8-bit text, as CIniFile takes it; false with
    // the reason when the file exists but cannot be read.
    bool Read(const std::string& path, std::string* reason = nullptr);
    const std::string& Path() const { return path_; }

    // The value with surrounding blanks and one pair of enclosing quotes removed. Lookups use
    // an index of the text made in one pass, so reading every key of a large file stays cheap.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    bool GetStruct(std::string_view section, std::string_view key, void* data, size_t size) const;

    // Removes every section of that name.
    void DeleteSection(std::string_view section);
    // Changes the key's value, or adds it as CIniFile::WriteString does. False (text
    // unchanged) for a value that does not fit on one line.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Appends a new section with these keys in order at the end of the text: what writing
    // them one by one gives when no section of that name exists. Values that do not fit on
    // one line are left out; false when one was.
    bool AppendSection(std::string_view section, const KeyValues& keys);

    // Replaces the file with the edited text in one go (a temporary file renamed over it);
    // nothing is written when the text is unchanged.
    bool Write(std::string* reason = nullptr);

  private:
    std::string path_;
    bool utf16_ = false;
    std::string prefix_;    // the byte-order mark, if any
    std::string narrow_;    // 8-bit text
    std::u16string wide_;   // UTF-16 text
    std::string suffix_;    // a stray odd last byte of a UTF-16 file
    std::string original_;  // the bytes as read
    // (section, key), both trimmed and in upper case, -> the value as stored; made on the
    // first lookup after a change.
    mutable std::map<std::pair<std::string, std::string>, std::string> index_;
    mutable bool indexed_ = false;
};
