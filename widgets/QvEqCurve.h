#pragma once

#include <QColor>
#include <QPolygonF>
#include <QWidget>

#include "QvTheme.h"

// Draws the summed response of its QvEQ parent, with the current band's own response
// shaded beneath it. Draws nothing outside a QvEQ.
class QvEqCurve : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor colorLine READ ColorLine WRITE SetColorLine)
    Q_PROPERTY(QColor colorCurrLine READ ColorCurrLine WRITE SetColorCurrLine)
    Q_PROPERTY(int lineWidth READ LineWidth WRITE SetLineWidth)

  public:
    explicit QvEqCurve(QWidget* parent = nullptr);
    ~QvEqCurve() override;

    QColor ColorLine() const { return colorLine_; }
    QColor ColorCurrLine() const { return colorCurrLine_; }
    int LineWidth() const { return lineWidth_; }
    void SetColorLine(const QColor& c);
    void SetColorCurrLine(const QColor& c);
    void SetLineWidth(int w);

    // The second curve's colour (ARGB 0xC8C5C512).
    static QColor SecondLineColor() { return QColor::fromRgba(0xC8C5C512u); }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QColor colorLine_ = qvtheme::Accent();
    QColor colorCurrLine_{0x80, 0x80, 0x80, 0x32};
    int lineWidth_ = 2;
    QPolygonF line_, area_;  // reused for every paint
};
