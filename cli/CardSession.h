#pragma once

#include <memory>
#include <string>

#include "HidDeviceBuilder.h"
#include "QvAudioProtocol.h"

// A connection to one card for the length of a command, through the same builder, manager
// and protocol the panel uses: product 0x61 is preferred, 0x7B is tried only when no 0x61
// card is present. On close the program lets go of the card (connect request with 0).
class CardSession {
  public:
    CardSession() = default;
    ~CardSession();
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    // devicePath empty: search. False with Error() set when no card could be attached.
    bool Open(const std::string& devicePath);
    const std::string& Error() const { return m_error; }

    CQvAudioProtocol& Protocol() { return m_protocol; }
    CHidDeviceBuilder& Builder() { return m_builder; }
    const std::string& Path() const { return m_builder.CurrentPath(); }

  private:
    CQvAudioProtocol m_protocol;  // outlives the builder, which refers to it
    CHidDeviceBuilder m_builder;
    std::string m_error;
};
