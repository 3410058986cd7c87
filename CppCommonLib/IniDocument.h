#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of a private-profile (INI) file held in memory: read once, looked up and edited in
// memory, and written back with one replacement of the file. CIniFile is built on it, so the
// lookups and edits are exactly CIniFile's (same matching, same placement of new lines, same
// code units: UTF-16LE behind a byte-order mark, else 8-bit text, a UTF-8 mark kept), and a
// run of edits here leaves the bytes the same edits through CIniFile one by one would leave.
//
// Names and values are UTF-8. Nothing is locked: the file is assumed not to change behind the
// object's back between Read and Write.
class CIniDocument {
  public:
    using KeyValues = std::vector<std::pair<std::string, std::string>>;

    // The first bytes of a UTF-16LE file.
    static constexpr std::string_view kUtf16Mark = "\xFF\xFE";
    // A larger file is not read (and so never rewritten): the settings of thousands of
    // stored records stay far below it.
    static constexpr size_t kMaxFileBytes = size_t{16} << 20;

    // Reads path. A missing file reads as empty 8-bit text; false with the reason when the
    // file exists but cannot be read (or is not a regular file, or exceeds kMaxFileBytes), and
    // the text is then empty.
    bool Read(const std::string& path, std::string* reason = nullptr);
    const std::string& Path() const { return path_; }

    // The value of the first matching key of the first matching section (ASCII case ignored,
    // surrounding blanks trimmed, one pair of enclosing ' or " quotes removed); nullopt when
    // there is none. One pass over the text up to the key.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // The same lookup through an index of every key, made in one pass on the first lookup
    // after a change: reading every key of a large text stays cheap.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Get's value read as GetPrivateProfileInt does (see CIniFile::GetInt).
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // Get's value as a blob written by CIniFile::WriteStruct (see CIniFile::GetStruct).
    bool GetStruct(std::string_view section, std::string_view key, void* data, size_t size) const;

    // In text order; duplicates are listed as often as they occur.
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

    // Why key=value cannot be written to section, nullptr when it can: names Windows would
    // write but could never read back (a section name holding ']', a key holding '=' or
    // starting with ';' or '[', an empty one), or a line break in any of the three.
    static const char* WriteProblem(std::string_view section, std::string_view key,
                                    std::string_view value);

    // Changes only the key's line, or adds "key=value" after the section's last non-blank
    // line, or adds the section at the end, as CIniFile::WriteString does. False (text
    // unchanged) for what WriteProblem refuses.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; removing what is not there changes nothing.
    void DeleteKey(std::string_view section, std::string_view key);
    // Removes every section of that name.
    void DeleteSection(std::string_view section);
    // Appends a section with these keys (distinct) in order at the end of the text, which is
    // what SetValue key by key gives when there is no section of that name; when there is one,
    // sets them key by key. Keys WriteProblem refuses are left out; false when one was.
    bool AppendSection(std::string_view section, const KeyValues& keys);

    // Replaces the file with the edited text in one go (a temporary file renamed over it);
    // nothing is written when the bytes are those read or last written.
    bool Write(std::string* reason = nullptr);

  private:
    // Runs read(const ini::Text<Ch>&) on the text in its own code units.
    template <class Reader>
    auto Visit(Reader&& read) const;
    // Replaces the text with what edit(const ini::Text<Ch>&) returns unless that is nullopt.
    template <class Editor>
    void Change(Editor&& edit);

    std::string path_;
    bool utf16_ = false;
    std::string prefix_;    // the byte-order mark, if any
    std::string narrow_;    // 8-bit text
    std::u16string wide_;   // UTF-16 text
    std::string suffix_;    // a stray odd last byte of a UTF-16 file
    std::string original_;  // the bytes as read or last written
    // (section, key), both trimmed and in upper case, -> the value without its quotes; made
    // on the first Get after a change.
    mutable std::map<std::pair<std::string, std::string>, std::string> index_;
    mutable bool indexed_ = false;
};
