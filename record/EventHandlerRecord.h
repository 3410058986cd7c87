#pragma once

#include "ControlEvents.h"

// CEventHandlerRecord drives the recording page of the main window. It is offered every control
// event and window message before the window handles them itself.
class CEventHandlerRecord : public IPageHandler {
  public:
    void Init(CMainDlg* window) override { m_window = window; }
    bool OnControlEvent(const ControlEvent& event) override;
    bool OnWindowMessage(const WindowMessage& message) override;

  private:
    CMainDlg* m_window = nullptr;
};
