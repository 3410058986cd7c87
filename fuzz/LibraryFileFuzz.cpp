// The effect library file as the effects page loads it: every list and entry read with the
// entries' paths relocated, a lookup of each entry, then a save and a second load of what
// was saved.
#include <cstdint>
#include <string>

#include "EffectLibrary.h"
#include "FuzzSupport.h"

namespace {

// Whether a path "exists": decided by the path alone, so that a run is repeatable and both
// the kept path and the relocated ones are taken.
bool Exists(const std::u16string& path) {
    return path.size() % 3 == 0;
}

size_t CountLeaves(const CTreeData& node) {
    size_t n = node.IsLeaf() ? 1 : 0;
    for (const CTreeData* child : node.Children()) n += CountLeaves(*child);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteTempFile("EffectList.xml", data, size);
    const std::string& dir = fuzz::TempDir();
    CEffectLibrary library({path, dir + "/Saved.xml", dir + "/exe", dir + "/user"});
    if (!library.Load(Exists)) return 0;
    for (const CTreeData* list : library.Root().Children()) {
        library.FindList(list->GetName());
        for (const CTreeData* leaf : list->Children()) library.FindLeaf(leaf->GetPath());
    }
    if (!library.Save()) return 0;

    // What was saved loads again with every list, and every entry whose path is kept.
    CEffectLibrary again({dir + "/Saved.xml", dir + "/Saved.xml", dir + "/exe", dir + "/user"});
    if (!again.Load([](const std::u16string&) { return true; }))
        fuzz::Violated("a saved library does not load");
    if (again.Root().Children().size() != library.Root().Children().size())
        fuzz::Violated("a saved library loads with another number of lists");
    if (CountLeaves(again.Root()) != CountLeaves(library.Root()))
        fuzz::Violated("a saved library loads with another number of entries");
    return 0;
}
