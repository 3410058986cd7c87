#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TrData.h"

// One node of the library tree: the root, a list, or a leaf carrying an entry. A node owns
// its children and its entry; deleting a node deletes them and takes it out of its parent.
class CTreeData {
  public:
    static constexpr size_t kNameCapacity = 128;

    CTreeData() = default;
    explicit CTreeData(std::u16string_view name);
    CTreeData(const CTreeData&) = delete;
    CTreeData& operator=(const CTreeData&) = delete;
    virtual ~CTreeData();

    // Leaves: the entry's path equals entry's path ignoring case.
    virtual bool Matches(const TrData& entry) const;
    virtual std::u16string GetName() const;  // the entry's name, else the node's own
    virtual void SetName(std::u16string_view name);
    virtual std::u16string GetPath() const;  // the entry's path, else empty
    virtual void SetPath(std::u16string_view path);
    virtual std::u16string GetKey() const;  // the entry's path, else the name
    // Appends a new leaf holding a copy of entry.
    virtual CTreeData* AddEntryCopy(const TrData& entry);
    // A list appends an "Items" element with its leaves; a leaf appends an "Item".
    virtual void WriteXml(pugi::xml_node element) const;
    // Appends one list per child element of element, and to each the entries accept lets
    // through (accept may change the entry's path first).
    using EntryFilter = std::function<bool(TrData& entry)>;
    virtual void ReadChildren(pugi::xml_node element, const EntryFilter& accept);

    // Appends node (taking it from its old parent); nothing when it is already a child.
    void AddChild(CTreeData* node);
    void InsertChild(CTreeData* node, size_t index);
    // Takes node out of this node's children without deleting it.
    void Detach(CTreeData* node);
    void DeleteChildren();

    CTreeData* Parent() const { return m_parent; }
    const std::vector<CTreeData*>& Children() const { return m_children; }
    size_t IndexOf(const CTreeData* child) const;  // Children().size() when absent
    TrData* Entry() const { return m_entry.get(); }
    void SetEntry(std::unique_ptr<TrData> entry) { m_entry = std::move(entry); }
    bool IsLeaf() const { return m_entry != nullptr; }

    int collapsed = 1;         // 1: the branch is shown collapsed
    int marked = 0;            // 1: this leaf is the current effect
    void* viewItem = nullptr;  // the view's item showing this node (the view's own type)

  private:
    CTreeData* m_parent = nullptr;
    std::vector<CTreeData*> m_children;
    std::unique_ptr<TrData> m_entry;
    std::u16string m_name;
};

// The library's root: its children are the lists, whose children are the effect leaves.
class CLibraryRoot : public CTreeData {
  public:
    CLibraryRoot() : CTreeData(u"Effect") {}
    const std::u16string rootName = u"Effect";      // the XML element of the library
    const std::u16string filePattern = u"*.dteff";  // effect files in a folder
};
