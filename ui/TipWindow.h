#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

// The transient tip: one small top-most text window at a control or a screen point, shown
// without taking focus for 1000, 2000 or 3000 ms. A new tip replaces the old one.
class CTipWindow {
  public:
    static void ShowAt(const QPoint& screenPoint, const QString& text, int durationMs);
    static void ShowAtControl(QWidget* control, const QString& text, int durationMs);
    // Centred on the control's top edge (overTopEdge) or on the control itself.
    static void ShowCentred(QWidget* control, const QString& text, int durationMs,
                            bool overTopEdge);
    static void Hide();
    // The tip now showing (tests), or null.
    static QWidget* Current();
    static QString CurrentText();
};
