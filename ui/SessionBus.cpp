#include "SessionBus.h"

#include <QFileInfo>
#include <QString>
#include <cstdlib>

namespace session_bus {

bool Configured() {
    if (const char* address = getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
    const char* run = getenv("XDG_RUNTIME_DIR");
    return run && *run && QFileInfo(QString::fromLocal8Bit(run) + "/bus").exists();
}

}  // namespace session_bus
