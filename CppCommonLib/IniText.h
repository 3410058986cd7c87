#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ini {

// One private-profile text, read line by line in the file's own code units: char for 8-bit
// files, char16_t for UTF-16 ones. Working on the units as stored (instead of converting the
// whole file) keeps every line we do not touch byte for byte, even text that is not valid
// UTF-8 or UTF-16.
//
// Names match without regard to ASCII case and with surrounding blanks ignored; the first
// matching section, and the first matching key inside it, wins. Lines starting with ';' are
// comments. The text passed to the constructor must outlive the object.
template <class Ch>
class Text {
  public:
    using CharType = Ch;
    using View = std::basic_string_view<Ch>;
    using String = std::basic_string<Ch>;
    using KeyValues = std::vector<std::pair<View, View>>;

    // A key line as Find sees it: names and value trimmed, quotes included.
    struct Entry {
        View section;
        View key;
        View value;
    };

    explicit Text(View text);

    // The trimmed value as stored, quotes included; nullopt when the key is missing.
    std::optional<View> Find(View section, View key) const;
    std::vector<View> SectionNames() const;
    std::vector<View> KeyNames(View section) const;
    bool HasSection(View section) const;
    // Every key line Find can reach, in file order: those of the first section of each name.
    // Of two keys of one name in it Find takes the first.
    std::vector<Entry> Entries() const;

    // Each edit returns the whole new text, or nullopt when the text would stay the same.
    // New lines end with CRLF as on Windows; all other lines keep their bytes.
    std::optional<String> SetValue(View section, View key, View value) const;
    std::optional<String> DeleteKey(View section, View key) const;
    // Removes every section of that name: its header and all lines up to the next header.
    std::optional<String> DeleteSection(View section) const;
    // Adds a section holding these keys in order at the end of the text: what SetValue key by
    // key leaves when there is no section of that name (keys distinct). Nullopt when keys is empty.
    std::optional<String> AppendSection(View section, const KeyValues& keys) const;

    static View Trim(View s);

  private:
    enum class Kind { kOther, kBlank, kSection, kKey };
    struct Line {
        size_t begin = 0;
        size_t contentEnd = 0;  // before the line break
        size_t end = 0;         // after the line break
        Kind kind = Kind::kOther;
        View name;          // section name or key, trimmed
        size_t equals = 0;  // key lines: offset of the '='
        View value;         // key lines: trimmed
    };
    // Every operation is one pass over the lines from the start of the text, without
    // storing them: files are parsed on each call, so this must stay cheap.
    Line ReadLine(size_t begin) const;
    // The line of key in the first section named section.
    std::optional<Line> FindKeyLine(View section, View key) const;
    bool IsHeader(const Line& line, View section) const;

    View text_;
};

extern template class Text<char>;
extern template class Text<char16_t>;

}  // namespace ini
