#pragma once

#include <memory>
#include <string>

#include "ChildProcess.h"

// A session bus of a test's own (dbus-daemon in a temporary folder), so stand-ins for desktop
// services can own their well-known names without touching the user's bus.
class PrivateSessionBus {
  public:
    // False when dbus-daemon cannot be started.
    bool Start();
    // The address to give DBUS_SESSION_BUS_ADDRESS or QDBusConnection::connectToBus.
    const std::string& Address() const { return m_address; }

  private:
    TempDir m_dir;
    ChildProcess m_daemon;
    std::string m_address;
};
