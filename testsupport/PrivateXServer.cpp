#include "PrivateXServer.h"

bool PrivateXServer::Start(const std::string& screen) {
    const std::string xvfb = FindProgram("Xvfb");
    std::string number;
    // -displayfd: Xvfb writes the number of the display it found free to that descriptor.
    if (xvfb.empty() ||
        !m_server.Start(xvfb, {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"}) ||
        !m_server.ReadLine(number, 20000) || number.empty())
        return false;
    m_display = ":" + number;
    return true;
}
