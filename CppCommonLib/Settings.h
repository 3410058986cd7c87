#pragma once

#include <array>
#include <string>
#include <string_view>

// The program's settings file (UTF-16 INI): its path, the integer settings of section
// "Settings" read once at start-up, and single-key writes for the owners of other sections.
class CSettings {
  public:
    enum IntIndex { kCloseBtnOperation = 0, kMainWinTopmost = 3 };
    static constexpr int kIntCount = 4;  // slots 1 and 2 are unused

    // False for an empty path. Otherwise creates the file holding only the UTF-16 byte-order
    // mark when it is missing, reads the integer settings (defaults for anything missing or
    // unreadable) and returns true.
    bool Load(const std::string& path);

    // The value read by Load; 0 for an index outside the table or an unused slot.
    int GetInt(int index) const;
    // One key, written as "%ld"; the values returned by GetInt stay those read at start-up.
    bool WriteInt(std::string_view section, std::string_view key, long value);
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::array<int, kIntCount> ints_{};
};
