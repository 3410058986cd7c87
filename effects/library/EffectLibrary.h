#pragma once

#include <string>
#include <vector>

#include "EffectPrj.h"
#include "LibraryFile.h"
#include "TreeData.h"

// Where the library is read from and written to, and the folders an entry whose file is
// gone is looked for in.
struct LibraryPaths {
    std::string listFile;  // read at load; the base document of every save
    std::string saveFile;  // written by Save; empty: listFile
    std::string exeDir;
    std::string userDir;
};

// The checks of a list name typed by the user.
enum class NameCheck { kOk, kEmpty, kTooLong, kForbiddenChar };
constexpr int kCreateListMaxLength = 9;
constexpr int kRenameListMaxLength = 11;
// The characters a list name must not contain.
extern const char16_t kForbiddenNameChars[];
// Trims name in place, then checks it against maxLength (UTF-16 units).
NameCheck CheckListName(std::u16string& name, int maxLength);

enum class ListResult { kOk, kExists, kProtected, kUnchanged };

// Effects that were not added because a list already has their path.
struct DuplicateReport {
    int count = 0;
    std::u16string text;  // "\n" + name for the first ten, then "\n……"
    std::vector<std::u16string> names;
    void Add(const std::u16string& name);
};

struct ImportResult {
    std::vector<CTreeData*> added;  // the new leaves, in order
    DuplicateReport duplicates;
    std::vector<std::u16string> refused;  // paths too long to be kept
};

// The local effect library: the lists, their entries and every change the user can make.
// Changes stay in memory until Save, which the callers run after each one.
class CEffectLibrary {
  public:
    static constexpr const char16_t* kDefaultList = u"默认列表";

    explicit CEffectLibrary(LibraryPaths paths);

    // Reads the list file; an unreadable file leaves the library empty.
    bool Load(const library_file::ExistsFn& exists);
    bool Load();
    bool Save(std::string* reason = nullptr) const;  // reason: why it failed

    CLibraryRoot& Root() { return m_root; }
    const CLibraryRoot& Root() const { return m_root; }
    const LibraryPaths& Paths() const { return m_paths; }

    CTreeData* FindList(std::u16string_view name) const;  // ignoring case
    // The first leaf of any list with this path (ignoring case), in list order.
    CTreeData* FindLeaf(std::u16string_view path) const;
    static bool IsDefaultList(const CTreeData& list);

    // A new list right after `after` (at the end when null); kExists for a taken name.
    ListResult CreateList(const std::u16string& name, CTreeData* after, CTreeData** created);
    ListResult RemoveList(CTreeData* list);
    ListResult RenameList(CTreeData* list, const std::u16string& name);
    // Effect files chosen by the user, added to list unless some list has them already.
    ImportResult AddFiles(CTreeData* list, const std::vector<std::u16string>& paths);
    // Every file of folder matching the root's pattern (not recursive), merged into list.
    ImportResult ImportFolder(CTreeData* list, const std::u16string& folder);
    // Moves source's children into list, deleting those some list has already.
    ImportResult Merge(CTreeData* source, CTreeData* list);
    void RemoveEntry(CTreeData* leaf);

    // Marks the first leaf with path; returns it (null when none). previous gets the
    // leaf that was marked before.
    CTreeData* MarkCurrent(std::u16string_view path, CTreeData** previous = nullptr);

    // The entry an effect file becomes: its name is the file name up to the last ".".
    static EffectPrj EntryForFile(const std::u16string& path);

  private:
    LibraryPaths m_paths;
    CLibraryRoot m_root;
};

// Case-insensitive match of a file name against a pattern with "*" and "?".
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern);
