#pragma once

#include <string>
#include <string_view>

// Text helpers of the effect library. Names and paths are UTF-16 like every stored name;
// the file system and the XML file see UTF-8.
namespace library_text {

std::u16string U16(std::string_view utf8);
std::string U8(std::u16string_view utf16);

// Case-insensitive equality as the library compares names and paths: ASCII, Latin-1 and
// full-width Latin letters fold; other characters compare exactly.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// At most maxUnits UTF-16 units, never splitting a surrogate pair.
std::u16string Shorten(std::u16string_view text, size_t maxUnits);

// Without leading and trailing spaces, tabs, carriage returns and line feeds.
std::u16string Trim(std::u16string_view text);

// True when a regular file exists at the UTF-16 path.
bool FileExists(std::u16string_view path);

}  // namespace library_text
