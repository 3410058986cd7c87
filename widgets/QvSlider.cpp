#include "QvSlider.h"

#include <QDynamicPropertyChangeEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "QvRangeKeys.h"
#include "QvTheme.h"
#include "QvValueTip.h"

namespace {

constexpr char kThumbInRailX[] = "thumbInRail-x";

void FillRounded(QPainter& painter, const QRect& rect, const QColor& color) {
    if (rect.isEmpty()) return;
    const double radius = std::min(rect.width(), rect.height()) / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(rect), radius, radius);
}

}  // namespace

QvSlider::QvSlider(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Horizontal);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void QvSlider::setBkgndSkin(const QString& name) {
    m_bkgndSkin = name;
    update();
}

void QvSlider::setPosSkin(const QString& name) {
    m_posSkin = name;
    update();
}

void QvSlider::setThumbSkin(const QString& name) {
    m_thumbSkin = name;
    update();
}

void QvSlider::setThumbInRail(bool inRail) {
    m_thumbInRail = inRail;
    update();
}

void QvSlider::setShowPercent(bool show) {
    m_showPercent = show;
    if (!show) hideValueTip();
}

void QvSlider::setSelectPosDeflate(int pixels) {
    m_selectPosDeflate = pixels;
    update();
}

void QvSlider::setThumbInRailX(int pixels) {
    m_thumbInRailX = pixels;
    update();
}

void QvSlider::setDelta(int delta) {
    m_delta = delta;
}

void QvSlider::setThumbSize(const QSize& size) {
    m_thumbSize = size;
    updateGeometry();
    update();
}

void QvSlider::setBkgndThickness(int pixels) {
    m_bkgndThickness = pixels;
    updateGeometry();
    update();
}

QvSliderParts QvSlider::parts() const {
    QvSliderLayout layout;
    layout.size = size();
    layout.vertical = vertical();
    layout.thumb = m_thumbSkin.isEmpty() ? QSize(0, 0) : m_thumbSize;
    layout.bkgndThickness = m_bkgndSkin.isEmpty() ? 0 : m_bkgndThickness;
    layout.thumbInRail = m_thumbInRail;
    layout.selectPosDeflate = m_selectPosDeflate;
    layout.thumbInRailX = m_thumbInRailX;
    layout.minimum = minimum();
    layout.maximum = maximum();
    layout.value = value();
    return QvSliderParts::compute(layout);
}

QvSlider::Part QvSlider::partAt(QPoint point) const {
    const QvSliderParts p = parts();
    if (p.thumb.contains(point)) return Part::Thumb;
    if (p.filled.contains(point)) return Part::Filled;
    if (p.rail.contains(point)) return Part::Rail;
    return Part::None;
}

QSize QvSlider::sizeHint() const {
    const int across =
        std::max(vertical() ? m_thumbSize.width() : m_thumbSize.height(), m_bkgndThickness);
    return vertical() ? QSize(across, 120) : QSize(120, across);
}

QSize QvSlider::minimumSizeHint() const {
    const QSize hint = sizeHint();
    return vertical() ? QSize(hint.width(), m_thumbSize.height() * 2)
                      : QSize(m_thumbSize.width() * 2, hint.height());
}

bool QvSlider::event(QEvent* event) {
    if (event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == kThumbInRailX) {
        setThumbInRailX(property(kThumbInRailX).toInt());
    }
    return QAbstractSlider::event(event);
}

int QvSlider::valueAtClick(QPoint point, const QRect& rail) const {
    const int span = maximum() - minimum() + 1;
    const int length = vertical() ? rail.height() : rail.width();
    if (length <= 0) return value();
    const int travelled =
        vertical() ? rail.top() + rail.height() - point.y() : point.x() - rail.left();
    return std::clamp(minimum() + span * travelled / length, minimum(), maximum());
}

void QvSlider::changeByUser(int next) {
    setValue(next);
    emit positionChanged(value());
}

void QvSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    const QvSliderParts p = parts();
    m_pressPoint = point;
    m_dragging = true;
    setSliderDown(true);  // sliderPressed: owners stop moving it while the user holds it
    if (p.thumb.contains(point)) {
        // Grabbing the thumb must not move it: the drag starts from the current value.
        m_pressValue = value();
        update();
        return;
    }
    setValue(valueAtClick(point, p.rail));
    update();
    m_pressValue = value();
    emit positionChanged(value());
}

void QvSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (!m_dragging) {
        hoverAt(point);
        return;
    }
    const QRect rail = parts().rail;
    const int length = vertical() ? rail.height() : rail.width();
    if (length <= 0) return;
    const int moved = vertical() ? m_pressPoint.y() - point.y() : point.x() - m_pressPoint.x();
    const int span = maximum() - minimum() + 1;
    const int next = std::clamp(m_pressValue + moved * span / length, minimum(), maximum());
    if (next == value()) return;
    setValue(next);
    update();
    emit positionChanged(value());
    showValueTip();
}

void QvSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_dragging) {
        m_dragging = false;
        setSliderDown(false);  // sliderReleased
        update();
        hideValueTip();
    }
    hoverAt(event->position().toPoint());
}

void QvSlider::hoverAt(QPoint point) {
    const Part part = partAt(point);
    if (part == m_hover) return;
    if (part == Part::Thumb) {
        showValueTip();
    } else if (m_hover == Part::Thumb) {
        hideValueTip();
    }
    m_hover = part;
    update();
}

void QvSlider::leaveEvent(QEvent* event) {
    hideValueTip();
    if (m_hover != Part::None) {
        m_hover = Part::None;
        update();
    }
    QAbstractSlider::leaveEvent(event);
}

// The tip is a window of its own and would outlive a slider hidden with its page.
void QvSlider::hideEvent(QHideEvent* event) {
    hideValueTip();
    QAbstractSlider::hideEvent(event);
}

void QvSlider::wheelEvent(QWheelEvent* event) {
    QvApplyRangeEvent(event, QvWheelValue(event, value()), [this](int v) { changeByUser(v); });
}

void QvSlider::keyPressEvent(QKeyEvent* event) {
    QvApplyRangeEvent(event, QvRangeKeyValue(event->key(), value(), minimum(), maximum()),
                      [this](int v) { changeByUser(v); });
}

void QvSlider::showValueTip() {
    if (!m_showPercent) return;
    const QString text = QString::number(value() + m_delta);
    const int chars = static_cast<int>(text.size());
    const QRect thumb = parts().thumb;
    // Beside the thumb on its left for a vertical slider, centred below it otherwise.
    const QPoint at =
        vertical() ? QPoint(thumb.left() - 6 * chars - 15, thumb.top() + thumb.height() / 2 - 11)
                   : QPoint(thumb.left() + (thumb.width() - 6 * chars - 10) / 2,
                            thumb.top() + thumb.height() + 10);
    if (!m_tip) m_tip = new QvValueTip(this);
    m_tip->showText(text, mapToGlobal(at));
}

void QvSlider::hideValueTip() {
    if (m_tip) m_tip->hide();
}

void QvSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QvSliderParts p = parts();
    const bool enabled = isEnabled();

    if (!m_bkgndSkin.isEmpty()) FillRounded(painter, p.background, qvtheme::Groove());
    if (!m_posSkin.isEmpty() && value() != minimum()) {
        FillRounded(painter, p.filled, enabled ? qvtheme::Accent() : qvtheme::Disabled());
    }
    if (!m_thumbSkin.isEmpty() && !p.thumb.isEmpty()) {
        QColor face = qvtheme::Text();
        if (!enabled) {
            face = qvtheme::Disabled();
        } else if (m_dragging) {
            face = qvtheme::AccentHover();
        } else if (m_hover == Part::Thumb) {
            face = qvtheme::TextBright();
        }
        const QRectF thumb = QRectF(p.thumb).adjusted(0.5, 0.5, -0.5, -0.5);
        const double radius = std::min(thumb.width(), thumb.height()) / 2;
        painter.setPen(QPen(qvtheme::RaisedDown(), 1));
        painter.setBrush(face);
        painter.drawRoundedRect(thumb, radius, radius);
        // A small accent core ties the thumb to the filled part.
        if (enabled) {
            const double core = std::min(thumb.width(), thumb.height()) / 5;
            painter.setPen(Qt::NoPen);
            painter.setBrush(qvtheme::Accent());
            painter.drawEllipse(thumb.center(), core, core);
        }
    }
}
