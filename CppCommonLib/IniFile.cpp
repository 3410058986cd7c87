#include "IniFile.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "IniText.h"
#include "IniValue.h"
#include "Log.h"
#include "SafeFile.h"
#include "TextUtil.h"

namespace {
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Read-modify-write cycles of the whole process take turns, as the Windows functions do.
std::mutex g_writeMutex;

// A file split into its byte-order mark, its text in the file's own code units, and (for
// UTF-16) a stray odd last byte, so that writing it back loses nothing.
struct LoadedFile {
    bool utf16 = false;
    std::string prefix;
    std::string narrow;
    std::u16string wide;
    std::string suffix;
};

bool Load(const std::string& path, LoadedFile& file, std::string* reason) {
    std::string bytes;
    const fileio::ReadStatus status = fileio::ReadWholeFile(path, bytes, reason);
    if (status == fileio::ReadStatus::kFailed) return false;
    if (bytes.starts_with(kUtf16Bom)) {
        file.utf16 = true;
        file.prefix = kUtf16Bom;
        const size_t units = (bytes.size() - kUtf16Bom.size()) / 2;
        file.wide.resize(units);
        for (size_t i = 0; i < units; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[3 + 2 * i]);
            file.wide[i] = static_cast<char16_t>(hi << 8 | lo);
        }
        file.suffix = bytes.substr(kUtf16Bom.size() + 2 * units);
    } else if (bytes.starts_with(kUtf8Bom)) {  // hand-edited files; kept as they are
        file.prefix = kUtf8Bom;
        file.narrow = bytes.substr(kUtf8Bom.size());
    } else {
        file.narrow = std::move(bytes);
    }
    return true;
}

std::string ToBytes(std::string body) {
    return body;
}

std::string ToBytes(std::u16string_view body) {
    std::string bytes;
    bytes.reserve(body.size() * 2);
    for (char16_t unit : body) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Names and values from the caller, in the code units of the file at hand.
template <class Ch>
std::basic_string<Ch> Native(std::string_view utf8) {
    if constexpr (std::is_same_v<Ch, char16_t>)
        return text::Utf8ToUtf16(utf8);
    else
        return std::string(utf8);
}

std::string ToUtf8(std::string_view s) {
    return std::string(s);
}
std::string ToUtf8(std::u16string_view s) {
    return text::Utf16ToUtf8(s);
}

// Runs read(const ini::Text<Ch>&) on the file's text in its own code units.
template <class Read>
auto Visit(const LoadedFile& file, Read&& read) {
    if (file.utf16) return read(ini::Text<char16_t>(file.wide));
    return read(ini::Text<char>(file.narrow));
}

template <class Ch>
std::basic_string_view<Ch> StripQuotes(std::basic_string_view<Ch> value) {
    if (value.size() >= 2 && (value[0] == Ch('"') || value[0] == Ch('\'')) &&
        value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

std::optional<std::string> Lookup(const std::string& path, std::string_view section,
                                  std::string_view key) {
    LoadedFile file;
    if (!Load(path, file, nullptr)) return std::nullopt;
    return Visit(file, [&](const auto& text) -> std::optional<std::string> {
        using Ch = typename std::decay_t<decltype(text)>::CharType;
        const auto value = text.Find(Native<Ch>(section), Native<Ch>(key));
        if (!value) return std::nullopt;
        return ToUtf8(StripQuotes(*value));
    });
}

template <class Read>
std::vector<std::string> ListNames(const std::string& path, Read&& read) {
    LoadedFile file;
    std::vector<std::string> names;
    if (!Load(path, file, nullptr)) return names;
    Visit(file, [&](const auto& text) {
        for (const auto& name : read(text)) names.push_back(ToUtf8(name));
        return 0;
    });
    return names;
}

bool FitsOnALine(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
}

// Names that Windows would write but could never read back are refused.
const char* NameProblem(std::string_view section, std::string_view key) {
    const std::string_view name = ini::Text<char>::Trim(section);
    if (name.empty() || !FitsOnALine(section) || name.find(']') != std::string_view::npos)
        return "unusable section name";
    const std::string_view k = ini::Text<char>::Trim(key);
    if (k.empty() || !FitsOnALine(key) || k.find('=') != std::string_view::npos || k[0] == ';' ||
        k[0] == '[')
        return "unusable key name";
    return nullptr;
}

// One read-modify-write: edit(const ini::Text<Ch>&) returns the new text or nullopt for no
// change.
template <class Edit>
bool Rewrite(const std::string& path, std::string& error, Edit&& edit) {
    std::lock_guard<std::mutex> lock(g_writeMutex);
    LoadedFile file;
    if (!Load(path, file, &error)) return false;
    const std::optional<std::string> body =
        Visit(file, [&](const auto& text) -> std::optional<std::string> {
            auto changed = edit(text);
            if (!changed) return std::nullopt;
            return ToBytes(*std::move(changed));
        });
    if (!body) return true;
    return fileio::ReplaceFileContents(path, file.prefix + *body + file.suffix, &error);
}
}  // namespace

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    if (auto value = Lookup(path_, section, key)) return *std::move(value);
    while (defaultValue.size() > 1 && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

int CIniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = Lookup(path_, section, key);
    if (!value || value->empty()) return defaultValue;
    return ini::ParseInt(*value);
}

bool CIniFile::GetStruct(std::string_view section, std::string_view key, void* data,
                         size_t size) const {
    const auto value = Lookup(path_, section, key);
    return value && ini::ParseStruct(*value, data, size);
}

std::vector<std::string> CIniFile::SectionNames() const {
    return ListNames(path_, [](const auto& text) { return text.SectionNames(); });
}

std::vector<std::string> CIniFile::KeyNames(std::string_view section) const {
    return ListNames(path_, [&](const auto& text) {
        using Ch = typename std::decay_t<decltype(text)>::CharType;
        return text.KeyNames(Native<Ch>(section));
    });
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const char* problem = NameProblem(section, key);
    if (!problem && !FitsOnALine(value)) problem = "value holds a line break";
    if (problem) {
        lastError_ = problem;
        return false;
    }
    const bool ok = Rewrite(path_, lastError_, [&](const auto& text) {
        using Ch = typename std::decay_t<decltype(text)>::CharType;
        return text.SetValue(Native<Ch>(section), Native<Ch>(key), Native<Ch>(value));
    });
    if (!ok)
        QV_LOG("writing [%.*s] %.*s failed: %s", static_cast<int>(section.size()), section.data(),
               static_cast<int>(key.size()), key.data(), lastError_.c_str());
    return ok;
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, long value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%ld", value);
    return WriteString(section, key, digits);
}

bool CIniFile::WriteStruct(std::string_view section, std::string_view key, const void* data,
                           size_t size) {
    return WriteString(section, key, ini::FormatStruct(data, size));
}

bool CIniFile::DeleteKey(std::string_view section, std::string_view key) {
    return Rewrite(path_, lastError_, [&](const auto& text) {
        using Ch = typename std::decay_t<decltype(text)>::CharType;
        return text.DeleteKey(Native<Ch>(section), Native<Ch>(key));
    });
}

bool CIniFile::DeleteSection(std::string_view section) {
    return Rewrite(path_, lastError_, [&](const auto& text) {
        using Ch = typename std::decay_t<decltype(text)>::CharType;
        return text.DeleteSection(Native<Ch>(section));
    });
}

bool CIniFile::CreateUtf16File(const std::string& path, std::string* reason) {
    std::lock_guard<std::mutex> lock(g_writeMutex);
    return fileio::ReplaceFileContents(path, kUtf16Bom, reason);
}
