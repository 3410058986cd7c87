#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// The program's two network operations on the libcurl easy interface. Only http and https
// are spoken (a URL with another scheme fails before anything is read). Blocking: call them
// on worker threads. No shared state, so several workers may call them at once.
class CLibCurlHelper {
  public:
    // Form-encoded POST (postFields may be null: no body). The response is collected into
    // buffer (capacity bytes; a larger response fails). Returns the bytes stored, or -1 on a
    // transport error, a timeout (7 s) or an HTTP status outside 2xx. Setting *stop (may be
    // null) ends the transfer as a failure within about a second.
    static int HttpPost(const std::string& url, const char* postFields, char* buffer,
                        size_t capacity, const std::atomic<bool>* stop = nullptr);
    // GET of url into localPath (created or truncated). True when the whole body was written
    // and the status was 2xx; 3 s connect and total timeouts. A body larger than maxBytes
    // fails: refused up front when announced, cut off as soon as it is exceeded otherwise.
    // localPath must not be a symbolic link (temporary folders are shared). *stop as above.
    static bool HttpGetFile(const std::string& localPath, const std::string& url, uint64_t maxBytes,
                            const std::atomic<bool>* stop = nullptr);
};
