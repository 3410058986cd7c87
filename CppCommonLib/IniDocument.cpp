#include "IniDocument.h"

#include <type_traits>

#include "IniText.h"
#include "IniValue.h"
#include "SafeFile.h"
#include "TextUtil.h"

namespace {
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Names and values from the caller, in the code units of the text at hand.
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

// A value as the caller sees it: one pair of enclosing quotes removed, in UTF-8.
template <class Ch>
std::string Unquoted(std::basic_string_view<Ch> value) {
    if (value.size() >= 2 && (value[0] == Ch('"') || value[0] == Ch('\'')) &&
        value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return ToUtf8(value);
}

bool FitsOnALine(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
}

// Names compare without regard to ASCII case and surrounding blanks.
std::string IndexName(std::string_view utf8) {
    return text::ToUpperAscii(ini::Text<char>::Trim(utf8));
}

template <class T>
using CharOf = typename std::decay_t<T>::CharType;

void AppendBytes(std::string& out, const std::string& text) {
    out += text;
}
void AppendBytes(std::string& out, const std::u16string& text) {
    out.reserve(out.size() + text.size() * 2);
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
}

template <class Ch, class Edit>
void Apply(std::basic_string<Ch>& body, Edit& edit) {
    if (auto changed = edit(ini::Text<Ch>(body))) body = *std::move(changed);
}
}  // namespace

template <class Reader>
auto CIniDocument::Visit(Reader&& read) const {
    if (utf16_) return read(ini::Text<char16_t>(wide_));
    return read(ini::Text<char>(narrow_));
}

template <class Editor>
void CIniDocument::Change(Editor&& edit) {
    indexed_ = false;
    if (utf16_)
        Apply(wide_, edit);
    else
        Apply(narrow_, edit);
}

bool CIniDocument::Read(const std::string& path, std::string* reason) {
    path_ = path;
    utf16_ = false;
    prefix_.clear();
    narrow_.clear();
    wide_.clear();
    suffix_.clear();
    indexed_ = false;
    if (fileio::ReadWholeFile(path, original_, reason, kMaxFileBytes) ==
        fileio::ReadStatus::kFailed)
        return false;
    const std::string& bytes = original_;
    if (bytes.starts_with(kUtf16Mark)) {
        utf16_ = true;
        prefix_ = kUtf16Mark;
        const size_t units = (bytes.size() - kUtf16Mark.size()) / 2;
        wide_.resize(units);
        for (size_t i = 0; i < units; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[3 + 2 * i]);
            wide_[i] = static_cast<char16_t>(hi << 8 | lo);
        }
        suffix_ = bytes.substr(kUtf16Mark.size() + 2 * units);
    } else if (bytes.starts_with(kUtf8Mark)) {  // hand-edited files; kept as they are
        prefix_ = kUtf8Mark;
        narrow_ = bytes.substr(kUtf8Mark.size());
    } else {
        narrow_ = bytes;
    }
    return true;
}

std::optional<std::string> CIniDocument::Find(std::string_view section,
                                              std::string_view key) const {
    return Visit([&](const auto& text) -> std::optional<std::string> {
        using Ch = CharOf<decltype(text)>;
        const auto value = text.Find(Native<Ch>(section), Native<Ch>(key));
        if (!value) return std::nullopt;
        return Unquoted(*value);
    });
}

std::optional<std::string> CIniDocument::Get(std::string_view section, std::string_view key) const {
    if (!indexed_) {
        index_.clear();
        Visit([&](const auto& text) {
            // The first key of a name wins, as in Find.
            for (const auto& entry : text.Entries())
                index_.emplace(
                    std::make_pair(IndexName(ToUtf8(entry.section)), IndexName(ToUtf8(entry.key))),
                    Unquoted(entry.value));
            return 0;
        });
        indexed_ = true;
    }
    const auto it = index_.find({IndexName(section), IndexName(key)});
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

int CIniDocument::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    return ini::ParseInt(Get(section, key), defaultValue);
}

bool CIniDocument::GetStruct(std::string_view section, std::string_view key, void* data,
                             size_t size) const {
    const auto value = Get(section, key);
    return value && ini::ParseStruct(*value, data, size);
}

std::vector<std::string> CIniDocument::SectionNames() const {
    std::vector<std::string> names;
    Visit([&](const auto& text) {
        for (const auto& name : text.SectionNames()) names.push_back(ToUtf8(name));
        return 0;
    });
    return names;
}

std::vector<std::string> CIniDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    Visit([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        for (const auto& name : text.KeyNames(Native<Ch>(section))) names.push_back(ToUtf8(name));
        return 0;
    });
    return names;
}

const char* CIniDocument::WriteProblem(std::string_view section, std::string_view key,
                                       std::string_view value) {
    const std::string_view name = ini::Text<char>::Trim(section);
    if (name.empty() || !FitsOnALine(section) || name.find(']') != std::string_view::npos)
        return "unusable section name";
    const std::string_view k = ini::Text<char>::Trim(key);
    if (k.empty() || !FitsOnALine(key) || k.find('=') != std::string_view::npos || k[0] == ';' ||
        k[0] == '[')
        return "unusable key name";
    if (!FitsOnALine(value)) return "value holds a line break";
    return nullptr;
}

bool CIniDocument::SetValue(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (WriteProblem(section, key, value)) return false;
    Change([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        return text.SetValue(Native<Ch>(section), Native<Ch>(key), Native<Ch>(value));
    });
    return true;
}

void CIniDocument::DeleteKey(std::string_view section, std::string_view key) {
    Change([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        return text.DeleteKey(Native<Ch>(section), Native<Ch>(key));
    });
}

void CIniDocument::DeleteSection(std::string_view section) {
    Change([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        return text.DeleteSection(Native<Ch>(section));
    });
}

bool CIniDocument::AppendSection(std::string_view section, const KeyValues& keys) {
    const bool exists = Visit([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        return text.HasSection(Native<Ch>(section));
    });
    bool ok = true;
    if (exists) {
        // Not new after all: the keys go where single writes put them.
        for (const auto& [key, value] : keys) ok = SetValue(section, key, value) && ok;
        return ok;
    }
    Change([&](const auto& text) {
        using Ch = CharOf<decltype(text)>;
        std::vector<std::pair<std::basic_string<Ch>, std::basic_string<Ch>>> lines;
        for (const auto& [key, value] : keys) {
            if (WriteProblem(section, key, value)) {
                ok = false;
                continue;
            }
            lines.emplace_back(Native<Ch>(key), Native<Ch>(value));
        }
        const typename ini::Text<Ch>::KeyValues views(lines.begin(), lines.end());
        return text.AppendSection(Native<Ch>(section), views);
    });
    return ok;
}

bool CIniDocument::Write(std::string* reason) {
    std::string bytes = prefix_;
    if (utf16_)
        AppendBytes(bytes, wide_);
    else
        AppendBytes(bytes, narrow_);
    bytes += suffix_;
    if (bytes == original_) return true;
    if (!fileio::ReplaceFileContents(path_, bytes, reason)) return false;
    original_ = std::move(bytes);
    return true;
}
