#pragma once

namespace session_bus {

// Whether this session has a bus to look on at all (an address, or the runtime folder's bus
// socket): without one, Qt's first use of the session bus would try to start a bus of its own.
bool Configured();

}  // namespace session_bus
