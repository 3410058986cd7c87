#pragma once

#include <cstdint>

// What the workspace needs from the window it lives in: timers by id and a tick count (the
// panel uses timer 1000 of the main window; tests use a clock they move by hand).
class ITimerHost {
  public:
    virtual ~ITimerHost() = default;
    virtual void StartTimer(int timerId, uint32_t intervalMs) = 0;
    virtual void StopTimer(int timerId) = 0;
    virtual uint64_t TickCount() = 0;
};

// The control binder as the workspace sees it: moves the control bound to a parameter.
class IParamBinder {
  public:
    virtual ~IParamBinder() = default;
    virtual void SetControlValue(int paramId, int value) = 0;
};
