#include "LibraryText.h"

#include <filesystem>
#include <system_error>

#include "TextUtil.h"

namespace library_text {
namespace {
char16_t Fold(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // full-width A..Z
    return c;
}
bool IsTrimmed(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
}  // namespace

std::u16string U16(std::string_view utf8) {
    return text::Utf8ToUtf16(utf8);
}

std::string U8(std::u16string_view utf16) {
    return text::Utf16ToUtf8(utf16);
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

std::u16string Shorten(std::u16string_view text, size_t maxUnits) {
    if (text.size() <= maxUnits) return std::u16string(text);
    size_t n = maxUnits;
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;  // keep pairs whole
    return std::u16string(text.substr(0, n));
}

std::u16string Trim(std::u16string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmed(text[begin])) ++begin;
    while (end > begin && IsTrimmed(text[end - 1])) --end;
    return std::u16string(text.substr(begin, end - begin));
}

bool FileExists(std::u16string_view path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(U8(path)), ec);
}

}  // namespace library_text
