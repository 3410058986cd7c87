#pragma once

#include <string>

#include "EmulatorServer.h"

// The emulator's stdin commands: one line in, one line of answer out.
namespace lw52::emu {

class CConsoleCommands {
  public:
    explicit CConsoleCommands(CEmulatorServer& server) : m_server(server) {}

    // The answer without a newline; empty for a blank line. quit becomes true on "quit".
    std::string Execute(const std::string& line, bool& quit);

  private:
    std::string Knob(const std::vector<std::string>& words);
    std::string Levels(const std::vector<std::string>& words);
    std::string Dump(const std::vector<std::string>& words);
    std::string Fault(const std::vector<std::string>& words);
    std::string FaultRates(const std::vector<std::string>& words);

    CEmulatorServer& m_server;
};

}  // namespace lw52::emu
