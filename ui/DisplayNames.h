#pragma once

#include <QString>
#include <string>

// Names that come with the program as data (the built-in effects and presets, the default
// effect list and the effect files that come with it, the built-in clips, the "自定义N"
// slot names) are stored, sent to the card and reported in Chinese; on screen they are shown
// in the UI's language. Any other name (one the user or the cloud gave) is shown as it is.
QString DisplayName(const QString& name);

// A message of the parts below the UI (the firmware upgrade, the cloud downloads, the pad
// configuration), written in Chinese, in the UI's language: known messages, the lines of a
// message of several, and a known lead ("固件升级失败：") with a known rest. Whatever is not
// known (a system error's text, a file name) is kept as it is.
QString CoreMessage(const std::string& text);
