#include "QvProgressEX.h"

#include <QPainter>

#include "QvTheme.h"

namespace {

constexpr int kSegmentPitch = 4;  // 3 lit pixels, 1 gap

}  // namespace

QvProgressEX::QvProgressEX(QWidget* parent) : QvProgress(parent) {}

void QvProgressEX::setSkinPosBottom(const QString& name) {
    m_skinBottom = name;
    update();
}

void QvProgressEX::setSkinPosMid(const QString& name) {
    m_skinMid = name;
    update();
}

void QvProgressEX::setSkinPosTop(const QString& name) {
    m_skinTop = name;
    update();
}

void QvProgressEX::setDeclineSpeed(int percent) {
    m_declineSpeed = percent;
}

void QvProgressEX::settleDisplay() {
    const int fall = m_declineSpeed * maximum() / 100;
    const bool atOnce = dropsToZeroAtOnce() && value() == 0;
    if (!atOnce && value() + fall < m_shown) storeValue(m_shown - fall);
    m_shown = value();
}

QRect QvProgressEX::unlitRect() const {
    const int range = maximum() - minimum();
    if (range <= 0) return QRect();
    // The layouts' meters start at 0; the unlit share is (max + min - value) / range.
    const int unlit = maximum() + minimum() - value();
    if (vertical()) return QRect(0, 0, width(), height() * unlit / range);
    const int left = width() - width() * unlit / range;
    return QRect(left, 0, width() - left, height());
}

void QvProgressEX::paintEvent(QPaintEvent*) {
    settleDisplay();
    QPainter painter(this);
    if (!isEnabled()) painter.setOpacity(0.45);
    if (!m_skinBottom.isEmpty()) paintLit(painter);
    if (!m_skinMid.isEmpty()) painter.fillRect(unlitRect() & rect(), qvtheme::Groove());
    if (!m_skinTop.isEmpty()) paintFrame(painter);
}

void QvProgressEX::paintLit(QPainter& painter) const {
    // Accent for the normal range, warming up towards the top.
    QLinearGradient heat =
        vertical() ? QLinearGradient(0, height(), 0, 0) : QLinearGradient(0, 0, width(), 0);
    heat.setColorAt(0, qvtheme::Accent());
    heat.setColorAt(0.6, qvtheme::Accent());
    heat.setColorAt(0.85, qvtheme::MeterHot());
    heat.setColorAt(1, qvtheme::MeterClip());
    painter.fillRect(rect(), heat);
}

void QvProgressEX::paintFrame(QPainter& painter) const {
    // Whole-pixel gaps between segments stay sharp at any device pixel ratio.
    const QColor gap = qvtheme::Panel();
    if (vertical()) {
        for (int y = height() - kSegmentPitch; y > 0; y -= kSegmentPitch) {
            painter.fillRect(QRect(0, y, width(), 1), gap);
        }
    } else {
        for (int x = kSegmentPitch - 1; x < width(); x += kSegmentPitch) {
            painter.fillRect(QRect(x, 0, 1, height()), gap);
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(qvtheme::Rim(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    painter.restore();
}
