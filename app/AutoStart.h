#pragma once

#include <QString>

// Starting with the desktop session: an XDG autostart entry
// $XDG_CONFIG_HOME/autostart/QvLW52.desktop whose Exec line names this executable.
QString AutoStartEntryPath();
bool IsAutoStart();
bool SetAutoStart(bool enable);
