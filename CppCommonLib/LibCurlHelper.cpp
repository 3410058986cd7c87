#include "LibCurlHelper.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "Log.h"

namespace {

constexpr long kPostTimeoutSeconds = 7;
constexpr long kGetTimeoutSeconds = 3;
constexpr const char* kFormContentType =
    "Content-Type:application/x-www-form-urlencoded;charset=UTF-8";

// curl_global_init is not thread-safe on every libcurl build; run it once before any handle.
void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct ResponseCollector {
    char* buffer;
    size_t capacity;
    size_t used;
};

// Returning fewer bytes than offered makes libcurl end the transfer with a write error, so a
// response that does not fit fails instead of being cut silently.
size_t CollectResponse(char* data, size_t size, size_t count, void* user) {
    auto* collector = static_cast<ResponseCollector*>(user);
    if (collector->used >= collector->capacity) return 0;
    const size_t offered = size * count;
    const size_t room = collector->capacity - collector->used;
    const size_t taken = offered < room ? offered : room;
    std::memcpy(collector->buffer + collector->used, data, taken);
    collector->used += taken;
    return taken;
}

struct FileSink {
    FILE* file;
    uint64_t limit;
    uint64_t written;
};

// A body growing past the limit ends the transfer with a write error: a server that sends
// without a length (or lies about it) is cut off at once, not at the timeout.
size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<FileSink*>(user);
    const size_t offered = size * count;
    if (offered > sink->limit - sink->written) return 0;
    const size_t taken = std::fwrite(data, 1, offered, sink->file);
    sink->written += taken;
    return taken;
}

// Only http and https, also after a redirect: a URL from the cloud service must never make
// the program read a local file or speak another protocol.
void RestrictToHttp(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

struct TransferProgress {
    curl_off_t total = 0;
    curl_off_t current = 0;
    const std::atomic<bool>* stop = nullptr;
};

// Also called while nothing arrives (at least once a second), so a stop request ends a
// stalled transfer too.
int RecordProgress(void* user, curl_off_t downloadTotal, curl_off_t downloadNow, curl_off_t,
                   curl_off_t) {
    auto* progress = static_cast<TransferProgress*>(user);
    progress->total = downloadTotal;
    progress->current = downloadNow;
    return progress->stop && progress->stop->load() ? 1 : 0;
}

void WatchProgress(CURL* curl, TransferProgress* progress) {
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, RecordProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, progress);
}

// Created or truncated, never through a symbolic link or into anything but a regular file of
// ours: temporary folders are shared, and a FIFO planted there would block the open forever.
FILE* OpenForDownload(const std::string& path) {
    const int fd = open(path.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (!file) close(fd);
    return file;
}

bool IsSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

enum PerformKind { kPostPerformText, kGetPerformText };

// Runs the transfer; true for a finished transfer with a 2xx status. Failures are logged
// with the texts of each operation.
bool Perform(CURL* curl, const std::string& url, PerformKind kind) {
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        if (kind == kPostPerformText)
            QV_LOG("url:%s easy_perform return CURLcode:%d", url.c_str(), static_cast<int>(code));
        else
            QV_LOG("url:%s easy_perform return:%d", url.c_str(), static_cast<int>(code));
        return false;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (!IsSuccessStatus(status)) {
        QV_LOG("url:%s return code:%d.", url.c_str(), static_cast<int>(status));
        return false;
    }
    return true;
}

}  // namespace

int CLibCurlHelper::HttpPost(const std::string& url, const char* postFields, char* buffer,
                             size_t capacity, const std::atomic<bool>* stop) {
    EnsureCurlInitialised();
    CURL* curl = curl_easy_init();
    if (!curl) {
        QV_LOG("url:%s curl_easy_init failed", url.c_str());
        return -1;
    }
    ResponseCollector collector{buffer, capacity, 0};
    TransferProgress progress;
    progress.stop = stop;
    curl_slist* headers = curl_slist_append(nullptr, kFormContentType);

    RestrictToHttp(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    // Without a body libcurl would read one through the read callback (stdin by default).
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postFields ? postFields : "");
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
    WatchProgress(curl, &progress);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kPostTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kPostTimeoutSeconds);

    const int result = Perform(curl, url, kPostPerformText) ? static_cast<int>(collector.used) : -1;
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return result;
}

bool CLibCurlHelper::HttpGetFile(const std::string& localPath, const std::string& url,
                                 uint64_t maxBytes, const std::atomic<bool>* stop) {
    FILE* file = OpenForDownload(localPath);
    if (!file) {
        QV_LOG("url:%s cannot open %s for writing", url.c_str(), localPath.c_str());
        return false;
    }
    EnsureCurlInitialised();
    CURL* curl = curl_easy_init();
    if (!curl) {
        QV_LOG("url:%s curl_easy_init failed", url.c_str());
        std::fclose(file);
        return false;
    }
    TransferProgress progress;
    progress.stop = stop;
    FileSink sink{file, maxBytes, 0};

    RestrictToHttp(curl);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "GET");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    // An announced length over the limit is refused before any of the body is read.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(maxBytes > INT64_MAX ? INT64_MAX : maxBytes));
    WatchProgress(curl, &progress);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kGetTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kGetTimeoutSeconds);

    bool ok = Perform(curl, url, kGetPerformText);
    // A write error on close (disk full) means the file is not whole.
    if (std::fclose(file) != 0 && ok) {
        QV_LOG("url:%s writing %s failed", url.c_str(), localPath.c_str());
        ok = false;
    }
    curl_easy_cleanup(curl);
    return ok;
}
