#include "PrivateSessionBus.h"

#include <cstdio>
#include <cstdlib>

bool PrivateSessionBus::Start() {
    const std::string config = m_dir.Path() + "/session.conf";
    FILE* f = fopen(config.c_str(), "w");
    if (!f) return false;
    fprintf(f,
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
            "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:path=%s/bus</listen>"
            "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
            "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
            "</busconfig>\n",
            m_dir.Path().c_str());
    fclose(f);
    if (!m_daemon.Start("/usr/bin/dbus-daemon",
                        {"--config-file=" + config, "--nofork", "--print-address=1"}))
        return false;
    return m_daemon.ReadLine(m_address, 10000) && !m_address.empty();
}

bool PrivateSessionBus::StartForProgram() {
    static PrivateSessionBus bus;
    static const bool started =
        bus.Start() && setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1) == 0;
    return started;
}
