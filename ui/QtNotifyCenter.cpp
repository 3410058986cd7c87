#include "QtNotifyCenter.h"

#include <QMetaObject>

void CQtNotifyCenter::FireEventAsync(std::shared_ptr<EventArgs> event) {
    m_core.FireEventAsync(std::move(event));
    // One queued pump per event; a pump that finds the queue empty does nothing.
    QMetaObject::invokeMethod(
        this, [this] { m_core.Pump(); }, Qt::QueuedConnection);
}
