#include "UpgradeWorker.h"

#include <utility>

namespace firmware {

void CUpgradeWorker::Start(Body body) {
    Join();
    m_stop = false;
    m_busy = true;
    m_thread = std::thread([this, body = std::move(body)] {
        body(m_stop);
        m_busy = false;
    });
}

void CUpgradeWorker::Stop() {
    m_stop = true;
    Join();
}

void CUpgradeWorker::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace firmware
