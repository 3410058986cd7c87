#include "EffectPrj.h"

#include <pugixml.hpp>

#include "LibraryText.h"

using library_text::U16;
using library_text::U8;

EffectPrj::EffectPrj(std::u16string_view name, std::u16string_view path) {
    SetName(name);
    SetPath(path);
}

void EffectPrj::SetName(std::u16string_view name) {
    m_name = library_text::Shorten(name, kMaxName);
}

void EffectPrj::SetPath(std::u16string_view path) {
    m_path = library_text::Shorten(path, kMaxPath);
}

bool EffectPrj::IsSamePath(const TrData& other) const {
    return library_text::EqualsIgnoreCase(m_path, other.GetPath());
}

std::unique_ptr<TrData> EffectPrj::Clone() const {
    return std::make_unique<EffectPrj>(*this);
}

void EffectPrj::WriteXml(pugi::xml_node element) const {
    element.append_attribute("Name").set_value(U8(m_name).c_str());
    element.append_attribute("Path").set_value(U8(m_path).c_str());
}

void EffectPrj::ReadXml(pugi::xml_node element) {
    if (!library_text::EqualsIgnoreCase(U16(element.name()), u"Item")) return;
    SetName(U16(element.attribute("Name").as_string()));
    // A path that does not fit would name another file: it reads as none, and an entry
    // without a path is dropped at load.
    const std::u16string path = U16(element.attribute("Path").as_string());
    SetPath(path.size() > kMaxPath ? std::u16string() : path);
}
