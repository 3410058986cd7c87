#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

// Mouse and wheel input delivered straight to a widget, with the button state spelled out,
// so that tests do not depend on a cursor or a window system.
namespace pointer {

inline void Send(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                 Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

inline void Press(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(widget, QEvent::MouseButtonPress, at, button, button);
}

inline void Drag(QWidget& widget, QPoint at) {
    Send(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
}

inline void Hover(QWidget& widget, QPoint at) {
    Send(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
}

inline void Release(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

inline void Click(QWidget& widget, QPoint at) {
    Press(widget, at);
    Release(widget, at);
}

// One wheel notch; forward is away from the user.
inline bool Wheel(QWidget& widget, bool forward) {
    const QPoint at = widget.rect().center();
    QWheelEvent event(QPointF(at), QPointF(widget.mapToGlobal(at)), QPoint(),
                      QPoint(0, forward ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

}  // namespace pointer
