#include "PackageReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <string_view>

#include "StepsXml.h"

namespace firmware {

namespace {

constexpr size_t kChunkSize = 64 * 1024;

enum class ReadResult { kOk, kFailed, kNoMemory };

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

Archive OpenArchive(const std::vector<uint8_t>& package) {
    // An empty buffer would open as an archive without members.
    if (package.empty()) return nullptr;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(package.data(), package.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) zip_source_free(source);
    zip_error_fini(&error);
    return Archive(archive);
}

// Inflates member index into out. It is refused once it passes limit bytes or the size its
// header states, when it ends short of that size, and when its CRC does not match. out never
// holds more than limit bytes, and its buffer never grows beyond that either.
ReadResult ReadMember(zip_t* archive, zip_uint64_t index, size_t limit, std::vector<uint8_t>& out) {
    out = {};
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0) return ReadResult::kFailed;
    // The stated size is held to, not trusted: a member is read up to one byte past it.
    const bool sized = (stat.valid & ZIP_STAT_SIZE) != 0;
    if (sized && stat.size > limit) return ReadResult::kFailed;
    const size_t bound = sized ? static_cast<size_t>(stat.size) : limit;

    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file) return ReadResult::kFailed;
    try {
        if (sized) out.reserve(bound);
        std::vector<uint8_t> chunk(std::min(kChunkSize, bound + 1));
        for (;;) {
            // At most one byte past the bound is ever asked for: enough to see it passed.
            const size_t room = bound + 1 - out.size();
            const zip_int64_t n = zip_fread(file.get(), chunk.data(), std::min(chunk.size(), room));
            if (n < 0) return ReadResult::kFailed;  // damaged data or a CRC mismatch
            if (n == 0) break;
            const size_t got = static_cast<size_t>(n);
            if (got > room || out.size() + got > bound) return ReadResult::kFailed;
            if (out.capacity() < out.size() + got)
                out.reserve(std::min(bound, std::max(out.size() + got, 2 * out.capacity())));
            out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(got));
        }
    } catch (const std::bad_alloc&) {
        out = {};
        return ReadResult::kNoMemory;
    }
    if (sized && out.size() != stat.size) return ReadResult::kFailed;
    return ReadResult::kOk;
}

bool Locate(zip_t* archive, const std::string& name, zip_uint64_t& index) {
    const zip_int64_t found = zip_name_locate(archive, name.c_str(), 0);
    if (found < 0) return false;
    index = static_cast<zip_uint64_t>(found);
    return true;
}

bool Fail(UpgradeContext& context, const char* text) {
    context.errorText = text;
    context.steps.clear();
    context.flashes.clear();
    return false;
}

// Reads the image of every step in turn; the failure's text, or null.
template <typename Step>
const char* ExtractImages(zip_t* archive, std::vector<Step>& steps, const char* notFound) {
    for (Step& step : steps) {
        zip_uint64_t index = 0;
        if (!Locate(archive, step.file, index)) return notFound;
        const ReadResult read = ReadMember(archive, index, kMaxImageSize, step.image);
        if (read == ReadResult::kNoMemory) return "内存分配失败";
        if (read != ReadResult::kOk) return "解压缩固件失败";
    }
    return nullptr;
}

}  // namespace

bool ReadPackageFile(UpgradeContext& context, const std::string& path,
                     std::vector<uint8_t>& package) {
    package.clear();
    // Non-blocking, so a FIFO in the package's place is refused below instead of waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return context.errorText = "打开固件文件失败！", false;
    const char* failure = nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        failure = "获取固件文件大小失败！";
    } else if (static_cast<uint64_t>(st.st_size) > kMaxPackageSize) {
        failure = "读取固件文件失败！";
    } else {
        try {
            package.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            failure = "内存分配失败";
        }
    }
    // The whole file as its size said: a file that shrinks or grows meanwhile is refused.
    for (size_t done = 0; !failure && done < package.size();) {
        const ssize_t n = read(fd, package.data() + done, package.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure = "读取固件文件失败！";
        if (n > 0) done += static_cast<size_t>(n);
    }
    uint8_t extra = 0;
    if (!failure && read(fd, &extra, 1) != 0) failure = "读取固件文件失败！";
    close(fd);
    if (!failure) return true;
    package = {};
    context.errorText = failure;
    return false;
}

bool ExtractPackage(UpgradeContext& context, const std::vector<uint8_t>& package) {
    context.steps.clear();
    context.flashes.clear();
    const Archive archive = OpenArchive(package);
    if (!archive) return Fail(context, "打开压缩文件失败");

    zip_uint64_t index = 0;
    if (!Locate(archive.get(), "steps.xml", index))
        return Fail(context, "固件压缩包中未找到steps.xml");
    std::vector<uint8_t> xml;
    const ReadResult read = ReadMember(archive.get(), index, kMaxStepsXmlSize, xml);
    if (read == ReadResult::kNoMemory) return Fail(context, "内存分配失败");
    if (read != ReadResult::kOk) return Fail(context, "解压缩steps.xml文件失败");
    if (!ParseSteps(context,
                    std::string_view(reinterpret_cast<const char*>(xml.data()), xml.size())))
        return false;

    const char* failure = ExtractImages(archive.get(), context.steps, "压缩包中未找到固件");
    if (!failure)
        failure = ExtractImages(archive.get(), context.flashes, "压缩包中未找到Flash文件");
    return failure ? Fail(context, failure) : true;
}

}  // namespace firmware
