#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "TreeData.h"

// The library file "EffectList.xml": an "AudioRack" root element whose "Effect" child holds
// one "Items" element per list and one "Item" per effect.
namespace library_file {

// A larger library file is not read: thousands of entries stay far below it.
constexpr size_t kMaxFileBytes = size_t{16} << 20;

using ExistsFn = std::function<bool(const std::u16string& path)>;

// Where a loaded entry's file is looked for: the path itself when the file exists; else,
// for an effect file (".dteff", any case), exeDir/Effect[/sub]/file, then the same under
// userDir, where sub is the name of the folder that held the file ("Effect" collapses to
// nothing). Both "\" and "/" separate folders. nullopt: the entry is dropped.
std::optional<std::u16string> ResolveLoadedPath(const std::u16string& path,
                                                const std::string& exeDir,
                                                const std::string& userDir, const ExistsFn& exists);

// Replaces root's lists with those of the file. False (and root left as it was) when the
// file cannot be parsed or holds no library.
bool Load(const std::string& path, CLibraryRoot& root, const std::string& exeDir,
          const std::string& userDir, const ExistsFn& exists);

// Writes root's lists into the document read from basePath (a new one when it cannot be
// parsed), keeping the other children of "AudioRack", and replaces outPath with it whole
// (never a cut-off file). False with the reason when it could not be written; outPath is
// then as it was.
bool Save(const std::string& basePath, const std::string& outPath, const CLibraryRoot& root,
          std::string* reason = nullptr);

}  // namespace library_file
