#include "TreeData.h"

#include <algorithm>
#include <pugixml.hpp>

#include "EffectPrj.h"
#include "LibraryText.h"

using library_text::U16;
using library_text::U8;

CTreeData::CTreeData(std::u16string_view name) {
    SetName(name);
}

CTreeData::~CTreeData() {
    DeleteChildren();
    if (m_parent) m_parent->Detach(this);
}

bool CTreeData::Matches(const TrData& entry) const {
    return m_entry && m_entry->IsSamePath(entry);
}

std::u16string CTreeData::GetName() const {
    return m_entry ? m_entry->GetName() : m_name;
}

void CTreeData::SetName(std::u16string_view name) {
    if (m_entry)
        m_entry->SetName(name);
    else
        m_name = library_text::Shorten(name, kNameCapacity - 1);
}

std::u16string CTreeData::GetPath() const {
    return m_entry ? m_entry->GetPath() : std::u16string();
}

void CTreeData::SetPath(std::u16string_view path) {
    if (m_entry) m_entry->SetPath(path);
}

std::u16string CTreeData::GetKey() const {
    return m_entry ? m_entry->GetPath() : m_name;
}

CTreeData* CTreeData::AddEntryCopy(const TrData& entry) {
    auto* leaf = new CTreeData;
    leaf->m_entry = entry.Clone();
    AddChild(leaf);
    return leaf;
}

void CTreeData::WriteXml(pugi::xml_node element) const {
    if (m_entry) {
        m_entry->WriteXml(element.append_child("Item"));
        return;
    }
    pugi::xml_node items = element.append_child("Items");
    items.append_attribute("Name").set_value(U8(m_name).c_str());
    items.append_attribute("Collapse").set_value(collapsed);
    for (const CTreeData* child : m_children) child->WriteXml(items);
}

void CTreeData::ReadChildren(pugi::xml_node element, const EntryFilter& accept) {
    for (pugi::xml_node listElement : element.children()) {
        if (listElement.type() != pugi::node_element) continue;
        auto* list = new CTreeData(U16(listElement.attribute("Name").as_string()));
        list->collapsed = listElement.attribute("Collapse").as_int(1);
        AddChild(list);
        for (pugi::xml_node itemElement : listElement.children()) {
            if (itemElement.type() != pugi::node_element) continue;
            EffectPrj entry;
            entry.ReadXml(itemElement);
            if (accept(entry)) list->AddEntryCopy(entry);
        }
    }
}

void CTreeData::AddChild(CTreeData* node) {
    if (node->m_parent == this) return;
    InsertChild(node, m_children.size());
}

void CTreeData::InsertChild(CTreeData* node, size_t index) {
    if (node->m_parent) node->m_parent->Detach(node);
    node->m_parent = this;
    m_children.insert(
        m_children.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_children.size())), node);
}

void CTreeData::Detach(CTreeData* node) {
    const auto it = std::find(m_children.begin(), m_children.end(), node);
    if (it == m_children.end()) return;
    m_children.erase(it);
    node->m_parent = nullptr;
}

void CTreeData::DeleteChildren() {
    while (!m_children.empty()) delete m_children.back();  // each one detaches itself
}

size_t CTreeData::IndexOf(const CTreeData* child) const {
    const auto it = std::find(m_children.begin(), m_children.end(), child);
    return static_cast<size_t>(it - m_children.begin());
}
