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
    // One bus for the whole test program, started on the first call and named in
    // DBUS_SESSION_BUS_ADDRESS: Qt keeps the first session connection it makes, so a program
    // has one bus for all its tests. False when it cannot be started.
    static bool StartForProgram();
    // The address to give DBUS_SESSION_BUS_ADDRESS or QDBusConnection::connectToBus.
    const std::string& Address() const { return m_address; }

  private:
    TempDir m_dir;
    ChildProcess m_daemon;
    std::string m_address;
};
