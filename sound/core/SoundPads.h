#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SoundEntry.h"

class HotkeyConfig;

// The pads of the sound-pad page: each pad button's id tells its list and index.
//   14000 + i              favourite i
//   15000 .. 15017         the built-in clips
//   15018 + j              local file j
//   17000 + i              downloaded clip i
//   18000 + 1000 c + i     item i of cloud category c
//   99999                  the "+" pad of the local tab
namespace pads {

constexpr int kFavouriteBase = 14000;
constexpr int kBuiltInBase = 15000;
constexpr int kBuiltInCount = 18;
constexpr int kLocalBase = kBuiltInBase + kBuiltInCount;
constexpr int kDownloadedBase = 17000;
constexpr int kCloudBase = 18000;
constexpr int kCloudStride = 1000;
constexpr int kCloudLast = 28000;  // the click range ends here (inclusive)
constexpr int kAddPad = 99999;
constexpr int kMaxCloudTabs = 7;
constexpr int kColumns = 4;
// A local list this long or longer gets no "+" pad.
constexpr size_t kMaxLocalWithAddPad = 998;

enum class PadList { None, Favourites, BuiltIn, Local, Downloaded, Cloud };

struct PadRef {
    PadList list = PadList::None;
    size_t index = 0;     // in its list (item index for cloud pads)
    size_t category = 0;  // cloud pads only
};

// The list and index an id names; None for ids that name no list (16000..16999, ...).
PadRef Classify(int id);
int CloudPadId(size_t category, size_t index);
int CloudGridBase(size_t category);

// The entry of the built-in clip i (kind 0: the text as name, the resource as path).
SoundEntry BuiltInEntry(size_t index);
// The local tab's pads: the built-in clips, then the local list.
std::vector<SoundEntry> LocalTabEntries(const HotkeyConfig& config);

enum class Lookup { kFound, kOutOfRange, kNoList };
// The entry a pad plays: favourites, built-ins, locals and downloads (cloud pads go through
// their download first). kOutOfRange when the index is not below its list's size.
Lookup FindEntry(const HotkeyConfig& config, int id, SoundEntry& out);

// Rows of a 4-column grid; the local grid counts its "+" pad.
int GridRows(size_t count, bool withAddPad);
bool HasAddPad(size_t localTabCount);
// A pad's tooltip: its name when longer than 6 characters, else empty.
std::u16string PadTooltip(const std::u16string& name);

// The pad menu: the menu pad id is kept for ids 14000..27999; others open nothing.
bool InMenuRange(int id);
// Command ids of the pad menu.
enum MenuCommand : int {
    kCmdSlot1 = 110,
    kCmdSlot2 = 111,
    kCmdSlot3 = 112,
    kCmdAddFavourite = 1000,
    kCmdRemoveFavourite = 1001,
    kCmdSetHotkey = 1002,
    kCmdDeleteHotkey = 1003,
    kCmdEditHotkey = 1004,
    kCmdDeleteLocal = 1005,
    kCmdLoadIntoDevice = 1006,
    kCmdRename = 1007,
};
// The items after "载入设备" (1006) for the pad, in order; empty with noMenu set for ids
// that get no menu at all. favouriteHotkey: the hotkey of the favourite (favourite pads).
std::vector<int> MenuItemsAfterLoad(int id, uint32_t favouriteHotkey, bool& noMenu);

// What a cloud pad's download does once the file is there.
enum FollowUp : int { kFollowPlay = 0, kFollowFavourite = 1, kFollowSend = 2 };

// The favourites' key text under their pads: empty for no hotkey.
std::u16string FavouriteKeyText(uint32_t hotkey);

}  // namespace pads
