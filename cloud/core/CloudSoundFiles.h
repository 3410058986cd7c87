#pragma once

#include <cstddef>
#include <string>

#include "SoundEntry.h"

class HotkeyConfig;

// Where downloaded cloud clips live and when a download may start. The file name comes from
// the clip's URL, that is from the network: it is made safe before it touches a path, so
// nothing is ever written outside userDir + "/CloudSound".
namespace cloud_sound {

// userDir + "/CloudSound/".
std::string Folder(const std::string& userDir);

// The local file of a cloud clip: Folder() + the URL's text after its last "/", made safe
// (control characters, "/", "\" become "_"; see cloud_effect::SafeComponent). A query stays
// part of the name: "get?id=1" and "get?id=2" are different clips and must not share a
// file. No "/" in the URL, or nothing but dots after it, gives "<cloud id>.mp3".
std::string LocalPathFor(const std::string& userDir, const SoundEntry& entry);

// A download the page may start: the cloud item it was made from and where its file goes.
struct PendingDownload {
    size_t category = 0;
    size_t index = 0;
    SoundEntry entry;       // a copy: the categories may be replaced while it runs
    std::string localPath;  // LocalPathFor(userDir, entry)
};

// The rule for starting a cloud clip's download: only a cloud item (kind 2) in the idle
// state starts, and it turns "downloading" in the same step, so a second click while the
// first download runs starts nothing. False: nothing to start. On true the caller, before it
// starts a CCloudSoundFileDownloader with out, removes a file already at out.localPath
// (stopping a player that may have it open first), and sets the item's state back when the
// result arrives.
bool BeginDownload(HotkeyConfig& config, const std::string& userDir, size_t category, size_t index,
                   PendingDownload& out);

}  // namespace cloud_sound
