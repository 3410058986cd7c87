#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Splits a byte stream from a client into lines. A line longer than the cap is never held
// whole: its start is dropped as soon as it passes the cap, the rest is skipped up to the next
// newline, and onOverlong is told once for it.
namespace control {

constexpr size_t kMaxLineBytes = 64 * 1024;

class CLineSplitter {
  public:
    using LineFn = std::function<void(std::string_view line)>;
    using OverlongFn = std::function<void()>;

    explicit CLineSplitter(size_t maxLine = kMaxLineBytes) : m_max(maxLine) {}

    // Feeds bytes as they arrive; calls onLine for every complete line (without its newline
    // or a trailing carriage return).
    void Feed(std::string_view bytes, const LineFn& onLine, const OverlongFn& onOverlong);
    size_t Buffered() const { return m_partial.size(); }

  private:
    size_t m_max;
    std::string m_partial;
    bool m_skipping = false;  // inside an overlong line
};

}  // namespace control
