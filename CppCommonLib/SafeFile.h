#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Whole-file reads and replacements that never leave a half-written file behind.
namespace fileio {

enum class ReadStatus { kOk, kMissing, kFailed };

// What ReadWholeFile takes at most unless the caller says otherwise.
constexpr size_t kMaxReadBytes = size_t{64} << 20;

// Reads all bytes of path. kMissing when there is no such file; reason is set on kFailed.
// Only a regular file is read (a FIFO or a device could block or never end), and one larger
// than maxBytes fails rather than filling memory.
ReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason,
                         size_t maxBytes = kMaxReadBytes);

// Writes bytes to a temporary file in the same folder, flushes it to disk and renames it over
// path, so a crash or a full disk leaves either the old or the new contents. An existing
// file keeps its permission bits; a file without any write permission is refused, as Windows
// refuses a read-only file. A symbolic link is followed and its target replaced. On failure
// the old file is untouched and reason says why.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason);

// The same replacement with the new contents written by fill: into the open temporary file fd,
// or by reopening tempPath (a download). On false, what says why and path stays as it was.
using FillFn = std::function<bool(int fd, const std::string& tempPath, std::string& what)>;
bool ReplaceFileWith(const std::string& path, const FillFn& fill, std::string* reason);

// Copies source over path the same way: streamed into a temporary file beside path, flushed
// and renamed, so a failure (a full disk, a folder without write access) leaves path as it
// was and no partial copy behind.
bool CopyFileReplacing(const std::string& source, const std::string& path, std::string* reason);

}  // namespace fileio
