#pragma once

#include <QObject>

#include "NotifyCenter.h"

// The notification centre on the Qt event loop: events fired from any thread are delivered
// to their subscribers on the thread that owns this object (the UI thread).
class CQtNotifyCenter : public QObject, public INotifyCenter {
    Q_OBJECT
  public:
    explicit CQtNotifyCenter(QObject* parent = nullptr) : QObject(parent) {}

    int Subscribe(int eventId, const char* name, Handler handler) override {
        return m_core.Subscribe(eventId, name, std::move(handler));
    }
    void Unsubscribe(int token) override { m_core.Unsubscribe(token); }
    void FireEventAsync(std::shared_ptr<EventArgs> event) override;
    void FireEvent(EventArgs& event) override { m_core.FireEvent(event); }

  private:
    CNotifyCenter m_core;  // subscriptions and the queue; pumped by queued calls
};
