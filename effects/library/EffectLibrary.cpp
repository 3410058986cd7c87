#include "EffectLibrary.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "EffectPrj.h"
#include "LibraryText.h"

using library_text::EqualsIgnoreCase;
using library_text::U16;
using library_text::U8;

const char16_t kForbiddenNameChars[] = u"\\:/*?\"<>|";

NameCheck CheckListName(std::u16string& name, int maxLength) {
    name = library_text::Trim(name);
    if (name.empty()) return NameCheck::kEmpty;
    if (name.size() > static_cast<size_t>(maxLength)) return NameCheck::kTooLong;
    if (name.find_first_of(kForbiddenNameChars) != std::u16string::npos)
        return NameCheck::kForbiddenChar;
    return NameCheck::kOk;
}

void DuplicateReport::Add(const std::u16string& name) {
    ++count;
    names.push_back(name);
    if (count <= 10)
        text += u"\n" + name;
    else if (count == 11)
        text += u"\n……";
}

bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == u'*') {
        for (size_t skip = 0; skip <= name.size(); ++skip)
            if (MatchesPattern(name.substr(skip), pattern.substr(1))) return true;
        return false;
    }
    if (name.empty()) return false;
    if (pattern[0] != u'?' && !EqualsIgnoreCase(name.substr(0, 1), pattern.substr(0, 1)))
        return false;
    return MatchesPattern(name.substr(1), pattern.substr(1));
}

CEffectLibrary::CEffectLibrary(LibraryPaths paths) : m_paths(std::move(paths)) {
    if (m_paths.saveFile.empty()) m_paths.saveFile = m_paths.listFile;
}

bool CEffectLibrary::Load(const library_file::ExistsFn& exists) {
    return library_file::Load(m_paths.listFile, m_root, m_paths.exeDir, m_paths.userDir, exists);
}

bool CEffectLibrary::Load() {
    return Load([](const std::u16string& path) { return library_text::FileExists(path); });
}

bool CEffectLibrary::Save(std::string* reason) const {
    return library_file::Save(m_paths.listFile, m_paths.saveFile, m_root, reason);
}

CTreeData* CEffectLibrary::FindList(std::u16string_view name) const {
    for (CTreeData* list : m_root.Children())
        if (EqualsIgnoreCase(list->GetName(), name)) return list;
    return nullptr;
}

CTreeData* CEffectLibrary::FindLeaf(std::u16string_view path) const {
    for (const CTreeData* list : m_root.Children())
        for (CTreeData* leaf : list->Children())
            if (leaf->IsLeaf() && EqualsIgnoreCase(leaf->GetPath(), path)) return leaf;
    return nullptr;
}

bool CEffectLibrary::IsDefaultList(const CTreeData& list) {
    return EqualsIgnoreCase(list.GetName(), kDefaultList);
}

ListResult CEffectLibrary::CreateList(const std::u16string& name, CTreeData* after,
                                      CTreeData** created) {
    if (FindList(name)) return ListResult::kExists;
    auto* list = new CTreeData(name);
    const size_t at = after ? m_root.IndexOf(after) + 1 : m_root.Children().size();
    m_root.InsertChild(list, at);
    if (created) *created = list;
    return ListResult::kOk;
}

ListResult CEffectLibrary::RemoveList(CTreeData* list) {
    if (IsDefaultList(*list)) return ListResult::kProtected;
    delete list;
    return ListResult::kOk;
}

ListResult CEffectLibrary::RenameList(CTreeData* list, const std::u16string& name) {
    if (IsDefaultList(*list)) return ListResult::kProtected;
    if (list->GetName() == name) return ListResult::kUnchanged;
    // The list itself counts: a change of letter case only is refused too.
    if (FindList(name)) return ListResult::kExists;
    list->SetName(name);
    return ListResult::kOk;
}

EffectPrj CEffectLibrary::EntryForFile(const std::u16string& path) {
    size_t cut = path.size();
    while (cut > 0 && path[cut - 1] != u'/' && path[cut - 1] != u'\\') --cut;
    std::u16string name = path.substr(cut);
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
    return EffectPrj(name, path);
}

ImportResult CEffectLibrary::AddFiles(CTreeData* list, const std::vector<std::u16string>& paths) {
    ImportResult result;
    for (const std::u16string& path : paths) {
        if (path.size() > EffectPrj::kMaxPath) {
            result.refused.push_back(path);
            continue;
        }
        const EffectPrj entry = EntryForFile(path);
        if (FindLeaf(path))
            result.duplicates.Add(entry.GetName());
        else
            result.added.push_back(list->AddEntryCopy(entry));
    }
    list->collapsed = 0;  // the user wants to see what arrived
    return result;
}

ImportResult CEffectLibrary::ImportFolder(CTreeData* list, const std::u16string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(U8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string name = it->path().filename().string();
        if (MatchesPattern(U16(name), m_root.filePattern)) files.push_back(name);
    }
    std::sort(files.begin(), files.end());  // directory order is arbitrary

    CTreeData found;
    std::vector<std::u16string> refused;
    std::u16string prefix = folder;
    if (!prefix.empty() && prefix.back() != u'/') prefix += u'/';
    for (const std::string& name : files) {
        const std::u16string path = prefix + U16(name);
        if (path.size() > EffectPrj::kMaxPath)
            refused.push_back(path);
        else
            found.AddEntryCopy(EntryForFile(path));
    }
    ImportResult result = Merge(&found, list);
    result.refused = std::move(refused);
    list->collapsed = 0;
    return result;
}

ImportResult CEffectLibrary::Merge(CTreeData* source, CTreeData* list) {
    ImportResult result;
    while (!source->Children().empty()) {
        CTreeData* child = source->Children().front();
        if (FindLeaf(child->GetPath())) {
            result.duplicates.Add(child->GetName());
            delete child;
        } else {
            list->AddChild(child);
            result.added.push_back(child);
        }
    }
    return result;
}

void CEffectLibrary::RemoveEntry(CTreeData* leaf) {
    delete leaf;
}

CTreeData* CEffectLibrary::MarkCurrent(std::u16string_view path, CTreeData** previous) {
    CTreeData* before = nullptr;
    CTreeData* now = nullptr;
    for (CTreeData* list : m_root.Children()) {
        list->marked = 0;
        for (CTreeData* leaf : list->Children()) {
            if (leaf->marked && !before) before = leaf;
            leaf->marked = 0;
            if (!now && !path.empty() && leaf->IsLeaf() && EqualsIgnoreCase(leaf->GetPath(), path))
                now = leaf;
        }
    }
    if (now) now->marked = 1;
    if (previous) *previous = before;
    return now;
}
