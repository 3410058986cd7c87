#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A private-profile (INI) file with the behaviour of the Windows private-profile functions,
// so a user's files move between the two systems unchanged.
//
// Strings: every name and value in this interface is UTF-8, like Linux paths. A file that
// starts with the UTF-16LE byte-order mark is read and written as UTF-16LE and converted at
// this boundary; any other file is 8-bit text whose bytes are taken as UTF-8. Callers holding
// UTF-16 names convert with text::Utf16ToUtf8.
//
// Like the Windows functions, every call reads and parses the file afresh and every write
// rewrites it; writes are serialised inside the process and replace the file atomically
// (see fileio::ReplaceFileContents). Reads never fail: a missing or unreadable file or key
// gives the default. Each call works on a CIniDocument of its own; code that reads or changes
// many keys at once uses one CIniDocument itself, reading and writing the file once.
class CIniFile {
  public:
    explicit CIniFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    // Why the last write returned false.
    const std::string& LastError() const { return lastError_; }

    // Value of the first matching key of the first matching section (ASCII case ignored,
    // surrounding blanks trimmed, one pair of enclosing ' or " quotes removed); otherwise the
    // default without its trailing spaces, as on Windows.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    // The value read as GetPrivateProfileInt does (decimal only: "0x10" is 0, "12ab" is 12,
    // "abc" is 0); the default when the key is missing or its value empty.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // A blob written by WriteStruct with exactly size bytes; false (data untouched) when it is
    // missing, of another length, not hex or its checksum does not match.
    bool GetStruct(std::string_view section, std::string_view key, void* data, size_t size) const;

    // In file order; duplicates are listed as often as they occur.
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

    // Changes only the key's line, or adds "key=value" after the section's last non-blank
    // line, or adds the section at the end of the file. A missing file is created as 8-bit
    // text. Names and values must fit on one line; a section name must not hold ']' nor a key
    // '='. Writing the value already stored leaves the file alone.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInt(std::string_view section, std::string_view key, long value);  // "%ld"
    bool WriteStruct(std::string_view section, std::string_view key, const void* data, size_t size);
    // What Windows does for a null value or a null key. Deleting what is not there succeeds.
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

    // Creates (or replaces) path as a UTF-16LE file holding only the byte-order mark, so that
    // everything written to it later is stored as UTF-16.
    static bool CreateUtf16File(const std::string& path, std::string* reason = nullptr);

  private:
    std::string path_;
    std::string lastError_;
};
