#include "QvProgress.h"

#include <QPainter>
#include <algorithm>

#include "QvTheme.h"

namespace {

void FillRounded(QPainter& painter, const QRect& rect, const QColor& color) {
    if (rect.isEmpty()) return;
    const double radius = std::min(rect.width(), rect.height()) / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(rect), radius, radius);
}

}  // namespace

QvProgress::QvProgress(QWidget* parent) : QWidget(parent) {}

void QvProgress::setMinimum(int minimum) {
    setRange(minimum, std::max(minimum, m_maximum));
}

void QvProgress::setMaximum(int maximum) {
    setRange(std::min(m_minimum, maximum), maximum);
}

void QvProgress::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    update();
}

void QvProgress::setValue(int value) {
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value) return;
    m_value = value;
    update();
}

void QvProgress::setOrientation(Qt::Orientation orientation) {
    m_orientation = orientation;
    updateGeometry();
    update();
}

void QvProgress::setBkgndSkin(const QString& name) {
    m_bkgndSkin = name;
    update();
}

void QvProgress::setPosSkin(const QString& name) {
    m_posSkin = name;
    update();
}

QRect QvProgress::filledRect() const {
    const int range = m_maximum - m_minimum;
    if (range <= 0 || m_value <= m_minimum) return QRect();
    if (vertical()) {
        const int filled = height() * (m_value - m_minimum) / range;
        return QRect(0, height() - filled, width(), filled);
    }
    return QRect(0, 0, width() * (m_value - m_minimum) / range, height());
}

QSize QvProgress::sizeHint() const {
    return vertical() ? QSize(8, 120) : QSize(120, 8);
}

void QvProgress::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_bkgndSkin.isEmpty()) FillRounded(painter, rect(), qvtheme::Groove());
    if (!m_posSkin.isEmpty() && m_value > m_minimum) {
        FillRounded(painter, filledRect(), isEnabled() ? qvtheme::Accent() : qvtheme::Disabled());
    }
}
