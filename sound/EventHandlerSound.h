#pragma once

#include "PageHost.h"

// CEventHandlerSound drives the sound-pad page of the main window. It is offered every control
// event and window message before the window handles them itself.
class CEventHandlerSound : public IPageHandler {
  public:
    void Init(IPageHost* host) override { m_host = host; }
    bool OnControlEvent(const ControlEvent& event) override;
    bool OnWindowMessage(const WindowMessage& message) override;

  private:
    IPageHost* m_host = nullptr;
};
