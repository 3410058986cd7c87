#pragma once

#include <QColor>

// The colours every painted widget of ours shares: dark panels, one cyan-teal accent for
// values, light grey text. Kept in one place so the knobs, bars and buttons stay coherent.
namespace qvtheme {

inline QColor Panel() {
    return QColor(0x37, 0x38, 0x3e);
}
inline QColor Groove() {
    return QColor(0x24, 0x25, 0x29);
}
inline QColor Raised() {
    return QColor(0x46, 0x47, 0x4e);
}
inline QColor RaisedHover() {
    return QColor(0x52, 0x53, 0x5b);
}
inline QColor RaisedDown() {
    return QColor(0x2e, 0x2f, 0x34);
}
inline QColor Rim() {
    return QColor(0x5c, 0x5d, 0x65);
}
inline QColor Accent() {
    return QColor(0x21, 0xb8, 0xbc);
}
inline QColor AccentHover() {
    return QColor(0x3f, 0xd0, 0xd4);
}
inline QColor Text() {
    return QColor(0xd8, 0xd9, 0xde);
}
inline QColor TextBright() {
    return QColor(0xf4, 0xf4, 0xf6);
}
inline QColor Disabled() {
    return QColor(0x6a, 0x6b, 0x72);
}
inline QColor MeterHot() {
    return QColor(0xe3, 0xc1, 0x4b);
}
inline QColor MeterClip() {
    return QColor(0xe0, 0x52, 0x4a);
}

}  // namespace qvtheme
