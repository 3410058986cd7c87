#include "HotkeyConfigFile.h"

#include <set>
#include <type_traits>

#include "IniText.h"
#include "IniValue.h"
#include "SafeFile.h"
#include "TextUtil.h"

namespace {
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

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

template <class Ch>
std::basic_string_view<Ch> StripQuotes(std::basic_string_view<Ch> value) {
    if (value.size() >= 2 && (value[0] == Ch('"') || value[0] == Ch('\'')) &&
        value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

bool FitsOnALine(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
}

template <class Ch>
bool SameName(std::basic_string_view<Ch> a, std::basic_string_view<Ch> b) {
    const auto fold = [](Ch c) {
        return (c >= Ch('a') && c <= Ch('z')) ? static_cast<Ch>(c - Ch('a') + Ch('A')) : c;
    };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// Names compare without regard to ASCII case and surrounding blanks.
std::string IndexName(std::string_view utf8) {
    return text::ToUpperAscii(ini::Text<char>::Trim(utf8));
}

// Every key of the text in one pass, read as ini::Text reads it: lines end at LF, blanks
// around names and values do not count, ';' starts a comment, only the first section of a
// name counts and in it the first key of a name.
template <class Ch>
void IndexText(std::basic_string_view<Ch> body,
               std::map<std::pair<std::string, std::string>, std::string>& index) {
    using Text = ini::Text<Ch>;
    std::set<std::string> seen;  // section names met so far
    const std::string* section = nullptr;
    for (size_t begin = 0; begin < body.size();) {
        const size_t lf = body.find(Ch('\n'), begin);
        const size_t end = lf == std::basic_string_view<Ch>::npos ? body.size() : lf;
        const auto line = Text::Trim(body.substr(begin, end - begin));
        begin = end + 1;
        if (line.empty() || line[0] == Ch(';')) continue;
        if (line[0] == Ch('[')) {
            const size_t close = line.find(Ch(']'));
            if (close == std::basic_string_view<Ch>::npos) continue;  // unreadable: kept as is
            const auto [it, fresh] =
                seen.insert(IndexName(ToUtf8(Text::Trim(line.substr(1, close - 1)))));
            section = fresh ? &*it : nullptr;
            continue;
        }
        const size_t equals = line.find(Ch('='));
        if (!section || equals == std::basic_string_view<Ch>::npos) continue;
        const auto key = Text::Trim(line.substr(0, equals));
        if (key.empty()) continue;
        index.emplace(std::make_pair(*section, IndexName(ToUtf8(key))),
                      ToUtf8(Text::Trim(line.substr(equals + 1))));
    }
}

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
}  // namespace

bool HotkeyConfigFile::Read(const std::string& path, std::string* reason) {
    path_ = path;
    utf16_ = false;
    prefix_.clear();
    narrow_.clear();
    wide_.clear();
    suffix_.clear();
    original_.clear();
    indexed_ = false;
    if (fileio::ReadWholeFile(path, original_, reason) == fileio::ReadStatus::kFailed) return false;
    const std::string& bytes = original_;
    if (bytes.starts_with(kUtf16Bom)) {
        utf16_ = true;
        prefix_ = kUtf16Bom;
        const size_t units = (bytes.size() - kUtf16Bom.size()) / 2;
        wide_.resize(units);
        for (size_t i = 0; i < units; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[3 + 2 * i]);
            wide_[i] = static_cast<char16_t>(hi << 8 | lo);
        }
        suffix_ = bytes.substr(kUtf16Bom.size() + 2 * units);
    } else if (bytes.starts_with(kUtf8Bom)) {
        prefix_ = kUtf8Bom;
        narrow_ = bytes.substr(kUtf8Bom.size());
    } else {
        narrow_ = bytes;
    }
    return true;
}

std::optional<std::string> HotkeyConfigFile::Get(std::string_view section,
                                                 std::string_view key) const {
    if (!indexed_) {
        index_.clear();
        if (utf16_)
            IndexText<char16_t>(wide_, index_);
        else
            IndexText<char>(narrow_, index_);
        indexed_ = true;
    }
    const auto it = index_.find({IndexName(section), IndexName(key)});
    if (it == index_.end()) return std::nullopt;
    return std::string(StripQuotes(std::string_view(it->second)));
}

int HotkeyConfigFile::GetInt(std::string_view section, std::string_view key,
                             int defaultValue) const {
    const auto value = Get(section, key);
    if (!value || value->empty()) return defaultValue;
    return ini::ParseInt(*value);
}

bool HotkeyConfigFile::GetStruct(std::string_view section, std::string_view key, void* data,
                                 size_t size) const {
    const auto value = Get(section, key);
    return value && ini::ParseStruct(*value, data, size);
}

void HotkeyConfigFile::DeleteSection(std::string_view section) {
    const auto edit = [&](auto& body) {
        using Ch = typename std::decay_t<decltype(body)>::value_type;
        if (auto changed = ini::Text<Ch>(body).DeleteSection(Native<Ch>(section)))
            body = *std::move(changed);
    };
    indexed_ = false;
    utf16_ ? edit(wide_) : edit(narrow_);
}

bool HotkeyConfigFile::SetValue(std::string_view section, std::string_view key,
                                std::string_view value) {
    if (!FitsOnALine(value)) return false;
    indexed_ = false;
    const auto edit = [&](auto& body) {
        using Ch = typename std::decay_t<decltype(body)>::value_type;
        if (auto changed = ini::Text<Ch>(body).SetValue(Native<Ch>(section), Native<Ch>(key),
                                                        Native<Ch>(value)))
            body = *std::move(changed);
    };
    utf16_ ? edit(wide_) : edit(narrow_);
    return true;
}

bool HotkeyConfigFile::AppendSection(std::string_view section, const KeyValues& keys) {
    bool ok = true;
    indexed_ = false;
    const auto append = [&](auto& body) {
        using Ch = typename std::decay_t<decltype(body)>::value_type;
        using Text = ini::Text<Ch>;
        const std::basic_string<Ch> name = Native<Ch>(section);
        const auto trimmed = Text::Trim(name);
        bool exists = false;
        for (const auto& existing : Text(body).SectionNames())
            exists = exists || SameName(existing, trimmed);
        if (exists) {
            // Not new after all: the keys go where single writes would put them.
            for (const auto& [key, value] : keys) ok = SetValue(section, key, value) && ok;
            return;
        }
        // The lines single writes produce: the section starts on a line of its own at the
        // end, each further key follows the section's last line.
        bool started = false;
        for (const auto& [key, value] : keys) {
            if (!FitsOnALine(value)) {
                ok = false;
                continue;
            }
            if (!started) {
                if (!body.empty() && body.back() != Ch('\n')) body += {Ch('\r'), Ch('\n')};
                body += Ch('[');
                body += trimmed;
                body += {Ch(']'), Ch('\r'), Ch('\n')};
                started = true;
            }
            body += Text::Trim(Native<Ch>(key));
            body += Ch('=');
            body += Native<Ch>(value);
            body += {Ch('\r'), Ch('\n')};
        }
    };
    utf16_ ? append(wide_) : append(narrow_);
    return ok;
}

bool HotkeyConfigFile::Write(std::string* reason) {
    std::string bytes = prefix_;
    utf16_ ? AppendBytes(bytes, wide_) : AppendBytes(bytes, narrow_);
    bytes += suffix_;
    if (bytes == original_) return true;
    if (!fileio::ReplaceFileContents(path_, bytes, reason)) return false;
    original_ = std::move(bytes);
    return true;
}
