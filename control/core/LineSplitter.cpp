#include "LineSplitter.h"

namespace control {

void CLineSplitter::Feed(std::string_view bytes, const LineFn& onLine,
                         const OverlongFn& onOverlong) {
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (!m_skipping) {
            if (m_partial.size() + piece.size() > m_max) {
                m_partial.clear();
                m_skipping = true;
                onOverlong();
            } else {
                m_partial.append(piece);
            }
        }
        if (newline == std::string_view::npos) return;
        bytes.remove_prefix(newline + 1);
        if (m_skipping) {
            m_skipping = false;
            continue;
        }
        std::string line;
        line.swap(m_partial);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        onLine(line);
    }
}

}  // namespace control
