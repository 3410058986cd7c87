#pragma once

#include <QKeyEvent>
#include <QWheelEvent>
#include <Qt>
#include <algorithm>
#include <optional>

// The keys a knob or slider answers, and the value each one leads to: Page Up/Down move by a
// fifth of the range, Home jumps to the maximum and End to the minimum (the dials read
// "home" as fully open), the arrows step by one. Clamped; nullopt for a key we leave to the
// parent.
inline std::optional<int> QvRangeKeyValue(int key, int value, int minimum, int maximum) {
    const int range = maximum - minimum;
    int next = value;
    switch (key) {
        case Qt::Key_PageUp:
            next = value + range / 5;
            break;
        case Qt::Key_PageDown:
            next = value - range / 5;
            break;
        case Qt::Key_End:
            next = minimum;
            break;
        case Qt::Key_Home:
            next = maximum;
            break;
        case Qt::Key_Left:
        case Qt::Key_Down:
            next = value - 1;
            break;
        case Qt::Key_Up:
        case Qt::Key_Right:
            next = value + 1;
            break;
        default:
            return std::nullopt;
    }
    return std::clamp(next, minimum, std::max(minimum, maximum));
}

// The value a wheel turn asks for (one step per notch, either axis); nullopt when the event
// carries no turn.
inline std::optional<int> QvWheelValue(const QWheelEvent* event, int value) {
    const QPoint delta = event->angleDelta();
    const int turn = delta.y() != 0 ? delta.y() : delta.x();
    if (turn == 0) return std::nullopt;
    return value + (turn > 0 ? 1 : -1);
}

// Applies a wheel or key event to a range control through its user-change path: accepted
// when it moved the value, ignored (left to the parent) otherwise.
template <typename Event, typename Change>
void QvApplyRangeEvent(Event* event, std::optional<int> next, Change&& changeByUser) {
    if (!next) {
        event->ignore();
        return;
    }
    changeByUser(*next);
    event->accept();
}
