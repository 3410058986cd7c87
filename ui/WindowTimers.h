#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

#include "NotifyCenter.h"
#include "WorkSpaceInterfaces.h"

// Timers by id on a window: StartTimer restarts a running one, each fire calls onTimer(id)
// on the window's thread until stopped.
class CWindowTimers : public QObject, public ITimerHost {
  public:
    explicit CWindowTimers(std::function<void(int)> onTimer, QObject* parent = nullptr)
        : QObject(parent), m_onTimer(std::move(onTimer)) {}

    void StartTimer(int timerId, uint32_t intervalMs) override;
    void StopTimer(int timerId) override;
    uint64_t TickCount() override;
    bool IsRunning(int timerId) const;
    int Interval(int timerId) const;  // ms; 0 when it never ran

  private:
    std::function<void(int)> m_onTimer;
    std::map<int, QTimer*> m_timers;  // owned as children
};

// Posts private messages (1125, 1126, ...) to a window: any thread may post; the handler
// runs later on the window's thread, and not at all once the window is gone.
class CMessagePoster : public IMessageSink {
  public:
    using Handler = std::function<void(uint32_t, uint64_t, int64_t)>;
    CMessagePoster(QObject* target, Handler handler)
        : m_target(target), m_handler(std::move(handler)) {}
    void PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;

  private:
    QObject* m_target;
    Handler m_handler;
};
