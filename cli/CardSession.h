#pragma once

#include <string>

#include "DeviceSession.h"

// A card attached for the length of a command that needs no workspace (info): attached the
// way the panel attaches it, and let go (connect request with 0) on close.
class CardSession {
  public:
    CardSession() = default;
    ~CardSession();
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    // devicePath empty: search (0x61 first, else 0x7B). False with Error() set.
    bool Open(const std::string& devicePath);
    const std::string& Error() const { return m_session.LastError(); }

    CQvAudioProtocol& Protocol() { return m_session.Protocol(); }
    const std::string& Path() { return m_session.Builder().CurrentPath(); }

  private:
    CDeviceSession m_session;
};
