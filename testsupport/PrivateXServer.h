#pragma once

#include <string>

#include "ChildProcess.h"

// An X display of a test's own (Xvfb): the server picks a free display number and reports it,
// so tests running side by side never collide.
class PrivateXServer {
  public:
    // False when Xvfb is missing or did not report its display.
    bool Start(const std::string& screen = "1280x800x24");
    // ":N", for DISPLAY.
    const std::string& Display() const { return m_display; }
    void Stop() { m_server.Stop(); }

  private:
    ChildProcess m_server;
    std::string m_display;
};
