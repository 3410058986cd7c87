#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 conversion. Stored names and UI texts are UTF-16; HTTP bodies, URLs,
// JSON and Linux paths are UTF-8. Malformed input becomes U+FFFD instead of failing.
namespace text {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Copies at most capacity - 1 UTF-16 units and a terminator into a fixed field.
void CopyToField(char16_t* field, size_t capacity, std::u16string_view value);
// Reads a terminated UTF-16 field of at most capacity units.
std::u16string FieldToString(const char16_t* field, size_t capacity);

// ASCII-only case helpers (device paths, INI keys).
std::string ToUpperAscii(std::string_view s);
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);

}  // namespace text
