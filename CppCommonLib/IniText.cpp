#include "IniText.h"

#include <set>

namespace ini {
namespace {
template <class Ch>
bool IsBlank(Ch c) {
    return c == Ch(' ') || c == Ch('\t') || c == Ch('\r') || c == Ch('\v') || c == Ch('\f');
}

template <class Ch>
Ch FoldAscii(Ch c) {
    return (c >= Ch('a') && c <= Ch('z')) ? static_cast<Ch>(c - Ch('a') + Ch('A')) : c;
}

template <class Ch>
bool SameName(std::basic_string_view<Ch> a, std::basic_string_view<Ch> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

template <class Ch>
void AppendLine(std::basic_string<Ch>& out, std::basic_string_view<Ch> key,
                std::basic_string_view<Ch> value) {
    out += key;
    out += Ch('=');
    out += value;
    out += {Ch('\r'), Ch('\n')};
}
}  // namespace

template <class Ch>
typename Text<Ch>::View Text<Ch>::Trim(View s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

template <class Ch>
Text<Ch>::Text(View text) : text_(text) {}

template <class Ch>
typename Text<Ch>::Line Text<Ch>::ReadLine(size_t begin) const {
    Line line;
    line.begin = begin;
    const size_t lf = text_.find(Ch('\n'), begin);
    if (lf == View::npos) {
        line.contentEnd = line.end = text_.size();
    } else {
        line.end = lf + 1;
        line.contentEnd = (lf > begin && text_[lf - 1] == Ch('\r')) ? lf - 1 : lf;
    }
    const View content = Trim(text_.substr(begin, line.contentEnd - begin));
    if (content.empty()) {
        line.kind = Kind::kBlank;
    } else if (content[0] == Ch(';')) {
        line.kind = Kind::kOther;  // comment
    } else if (content[0] == Ch('[')) {
        const size_t close = content.find(Ch(']'));
        if (close != View::npos) {  // otherwise an unreadable line, kept as it is
            line.kind = Kind::kSection;
            line.name = Trim(content.substr(1, close - 1));
        }
    } else if (const size_t eq = content.find(Ch('=')); eq != View::npos) {
        line.name = Trim(content.substr(0, eq));
        if (!line.name.empty()) {
            line.kind = Kind::kKey;
            line.equals = static_cast<size_t>(content.data() - text_.data()) + eq;
            line.value = Trim(content.substr(eq + 1));
        }
    }
    return line;
}

template <class Ch>
bool Text<Ch>::IsHeader(const Line& line, View section) const {
    return line.kind == Kind::kSection && SameName(line.name, section);
}

template <class Ch>
std::optional<typename Text<Ch>::Line> Text<Ch>::FindKeyLine(View section, View key) const {
    section = Trim(section);
    key = Trim(key);
    bool inside = false;
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (line.kind == Kind::kSection) {
            if (inside) break;  // only the first matching section counts
            inside = SameName(line.name, section);
        } else if (inside && line.kind == Kind::kKey && SameName(line.name, key)) {
            return line;
        }
    }
    return std::nullopt;
}

template <class Ch>
std::optional<typename Text<Ch>::View> Text<Ch>::Find(View section, View key) const {
    const std::optional<Line> line = FindKeyLine(section, key);
    if (!line) return std::nullopt;
    return line->value;
}

template <class Ch>
std::vector<typename Text<Ch>::View> Text<Ch>::SectionNames() const {
    std::vector<View> names;
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (line.kind == Kind::kSection) names.push_back(line.name);
    }
    return names;
}

template <class Ch>
std::vector<typename Text<Ch>::View> Text<Ch>::KeyNames(View section) const {
    section = Trim(section);
    std::vector<View> names;
    bool inside = false;
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (line.kind == Kind::kSection) {
            if (inside) break;
            inside = SameName(line.name, section);
        } else if (inside && line.kind == Kind::kKey) {
            names.push_back(line.name);
        }
    }
    return names;
}

template <class Ch>
std::optional<typename Text<Ch>::String> Text<Ch>::SetValue(View section, View key,
                                                            View value) const {
    section = Trim(section);
    key = Trim(key);
    bool found = false;
    Line lastFilled;  // the section's last non-blank line, its header at first
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (!found) {
            if (IsHeader(line, section)) {
                found = true;
                lastFilled = line;
            }
            continue;
        }
        if (line.kind == Kind::kSection) break;
        if (line.kind == Kind::kKey && SameName(line.name, key)) {
            // Only the text after '=' changes; the key keeps its spelling and indentation.
            const size_t from = line.equals + 1;
            if (text_.substr(from, line.contentEnd - from) == value) return std::nullopt;
            String out;
            out.reserve(text_.size() + value.size());
            out += text_.substr(0, from);
            out += value;
            out += text_.substr(line.contentEnd);
            return out;
        }
        if (line.kind != Kind::kBlank) lastFilled = line;
    }

    if (!found) return AppendSection(section, {{key, value}});
    // A new key follows the section's last non-blank line, so blank lines that separate it
    // from the next section stay after it.
    String out;
    out.reserve(text_.size() + key.size() + value.size() + 5);
    out += text_.substr(0, lastFilled.end);
    if (lastFilled.end == lastFilled.contentEnd) out += {Ch('\r'), Ch('\n')};  // no line break
    AppendLine(out, key, value);
    out += text_.substr(lastFilled.end);
    return out;
}

template <class Ch>
std::optional<typename Text<Ch>::String> Text<Ch>::DeleteKey(View section, View key) const {
    const std::optional<Line> line = FindKeyLine(section, key);
    if (!line) return std::nullopt;
    String out;
    out.reserve(text_.size());
    out += text_.substr(0, line->begin);
    out += text_.substr(line->end);
    return out;
}

template <class Ch>
std::optional<typename Text<Ch>::String> Text<Ch>::DeleteSection(View section) const {
    section = Trim(section);
    String out;
    bool changed = false;
    bool dropping = false;
    size_t kept = 0;  // start of the text not yet copied
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (line.kind != Kind::kSection) continue;
        const bool match = SameName(line.name, section);
        if (match && !dropping) {
            if (!changed) out.reserve(text_.size());
            out += text_.substr(kept, line.begin - kept);
            changed = dropping = true;
        } else if (!match && dropping) {
            kept = line.begin;
            dropping = false;
        }
    }
    if (!changed) return std::nullopt;
    if (!dropping) out += text_.substr(kept);
    return out;
}

template <class Ch>
std::optional<typename Text<Ch>::String> Text<Ch>::AppendSection(View section,
                                                                 const KeyValues& keys) const {
    if (keys.empty()) return std::nullopt;
    section = Trim(section);
    size_t size = text_.size() + section.size() + 6;
    for (const auto& [key, value] : keys) size += key.size() + value.size() + 3;
    String out;
    out.reserve(size);
    // The section starts on a line of its own at the end of the file.
    out += text_;
    if (!text_.empty() && text_.back() != Ch('\n')) out += {Ch('\r'), Ch('\n')};
    out += Ch('[');
    out += section;
    out += {Ch(']'), Ch('\r'), Ch('\n')};
    for (const auto& [key, value] : keys) AppendLine(out, Trim(key), value);
    return out;
}

template <class Ch>
bool Text<Ch>::HasSection(View section) const {
    section = Trim(section);
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (IsHeader(line, section)) return true;
    }
    return false;
}

template <class Ch>
std::vector<typename Text<Ch>::Entry> Text<Ch>::Entries() const {
    std::vector<Entry> entries;
    std::set<String> seen;  // section names met so far, in upper case
    bool first = false;     // inside the first section of its name
    View section;
    for (size_t pos = 0; pos < text_.size();) {
        const Line line = ReadLine(pos);
        pos = line.end;
        if (line.kind == Kind::kSection) {
            String folded(line.name);
            for (Ch& c : folded) c = FoldAscii(c);
            first = seen.insert(std::move(folded)).second;
            section = line.name;
        } else if (first && line.kind == Kind::kKey) {
            entries.push_back({section, line.name, line.value});
        }
    }
    return entries;
}

template class Text<char>;
template class Text<char16_t>;

}  // namespace ini
