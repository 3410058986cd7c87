#include "QvRotaryKnob.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "QvRangeKeys.h"
#include "QvTheme.h"

namespace {

constexpr double kPi = 3.14;
constexpr double ToRadians(double degrees) {
    return degrees * kPi / 180;
}
const QSize kNaturalPointerSize(4, 20);

}  // namespace

QvRotaryKnob::QvRotaryKnob(QWidget* parent) : QAbstractSlider(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void QvRotaryKnob::setIncludedAngle(double degrees) {
    m_includedAngle = std::clamp(degrees, 0.0, 359.0);
    m_dot.reset();
    update();
}

void QvRotaryKnob::setFgRadius(int radius) {
    m_fgRadius = radius;
    update();
}

void QvRotaryKnob::setFgPaintArc(int paint) {
    m_fgPaintArc = paint;
    update();
}

void QvRotaryKnob::setColorCircle(const QColor& color) {
    m_colorCircle = color;
    update();
}

void QvRotaryKnob::setDotRadius(int radius) {
    m_dotRadius = radius;
    m_dot.reset();
    update();
}

void QvRotaryKnob::setSkin(const QString& name) {
    m_skin = name;
    update();
}

void QvRotaryKnob::setDotSkin(const QString& name) {
    m_dotSkin = name;
    update();
}

void QvRotaryKnob::setSlashSkin(const QString& name) {
    m_slashSkin = name;
    update();
}

void QvRotaryKnob::setPointerSize(const QSize& size) {
    m_pointerSize = size;
    update();
}

void QvRotaryKnob::setPoniterOffset(const QPoint& offset) {
    m_pointerOffset = offset;
    update();
}

double QvRotaryKnob::sweep() const {
    const int range = maximum() - minimum();
    const double full = 360 - m_includedAngle;
    if (range <= 0) return 0;
    return std::clamp(full * value() / range, 0.0, full);
}

QvRotaryKnob::Aim QvRotaryKnob::aimAt(QPoint point) const {
    const QPoint c = center();
    const double half = m_includedAngle / 2;
    // On the axes through the centre the direction is exact; elsewhere it comes from atan2.
    if (point.y() == c.y()) {
        return point.x() < c.x() ? Aim{180, 90 - half} : Aim{0, 270 - half};
    }
    if (point.x() == c.x()) {
        return point.y() < c.y() ? Aim{270, 180 - half} : Aim{90, 360 - half};
    }
    double direction = std::atan2(point.y() - c.y(), point.x() - c.x()) * 180 / kPi;
    if (direction < 0) direction += 360;
    double fromStart = std::fmod(direction - (90 + half), 360.0);
    if (fromStart < 0) fromStart += 360;
    return Aim{direction, fromStart};
}

int QvRotaryKnob::valueForSweep(double degrees) const {
    const double full = 360 - m_includedAngle;
    const double valuesPerDegree = full > 0 ? (maximum() - minimum()) / full : 0;
    const double raw = std::trunc(degrees * valuesPerDegree);
    return static_cast<int>(
        std::clamp(raw, static_cast<double>(minimum()), static_cast<double>(maximum())));
}

int QvRotaryKnob::valueAt(QPoint point) const {
    return valueForSweep(aimAt(point).sweep);
}

int QvRotaryKnob::trackPointer(QPoint point) {
    const Aim aim = aimAt(point);
    const double rad = ToRadians(aim.direction);
    m_dot = QPointF(center()) + QPointF(std::cos(rad), std::sin(rad)) * m_dotRadius;
    return valueForSweep(aim.sweep);
}

QPointF QvRotaryKnob::dialPoint(bool end) const {
    const double d = ToRadians(90 - m_includedAngle / 2);
    const QPointF c(center());
    const double dx = std::cos(d) * m_dotRadius;
    return QPointF(end ? c.x() + dx : c.x() - dx, c.y() + std::sin(d) * m_dotRadius);
}

QPointF QvRotaryKnob::dotPosition() const {
    return m_dot.value_or(dialPoint(false));
}

void QvRotaryKnob::changeByUser(int next) {
    setValue(next);
    emit positionChanged(value());
}

void QvRotaryKnob::resizeEvent(QResizeEvent* event) {
    // Rendering a hidden widget sends resize events without a change of size; those must not
    // move the dot.
    if (size() != m_laidOutSize) {
        m_laidOutSize = size();
        m_dot.reset();
    }
    QAbstractSlider::resizeEvent(event);
}

void QvRotaryKnob::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    m_dragging = true;
    setValue(trackPointer(point));
    update();
    m_pressPoint = point;
    emit positionChanged(value());
}

void QvRotaryKnob::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const int old = value();
    const int next = trackPointer(event->position().toPoint());
    // Crossing the gap would flip the value from one end to the other; hold it at the end
    // the drag came from until the pointer gets back to that end.
    if (old == maximum() && next == minimum()) m_holdAtMax = true;
    if (old == minimum() && next == maximum()) m_holdAtMin = true;
    if (m_holdAtMax) {
        if (next != maximum()) return;
        m_holdAtMax = false;
    }
    if (m_holdAtMin) {
        if (next != minimum()) return;
        m_holdAtMin = false;
    }
    setValue(next);
    emit positionChanged(value());
    update();
}

void QvRotaryKnob::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_holdAtMax = false;
    m_holdAtMin = false;
    m_dragging = false;
}

void QvRotaryKnob::wheelEvent(QWheelEvent* event) {
    QvApplyRangeEvent(event, QvWheelValue(event, value()), [this](int v) { changeByUser(v); });
}

void QvRotaryKnob::keyPressEvent(QKeyEvent* event) {
    QvApplyRangeEvent(event, QvRangeKeyValue(event->key(), value(), minimum(), maximum()),
                      [this](int v) { changeByUser(v); });
}

QSize QvRotaryKnob::sizeHint() const {
    return QSize(70, 70);
}

QSize QvRotaryKnob::minimumSizeHint() const {
    return QSize(24, 24);
}

void QvRotaryKnob::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.45);
    const double s = sweep();
    const double start = 90 + m_includedAngle / 2;
    const QPointF c(center());

    // The value sector goes first; the face covers its inner part, leaving a lit ring.
    if (m_fgPaintArc != 0 && m_fgRadius > 0 && s > 0) {
        const QRectF box(c.x() - m_fgRadius, c.y() - m_fgRadius, 2.0 * m_fgRadius,
                         2.0 * m_fgRadius);
        QPainterPath sector(c);
        sector.arcTo(box, -start, -s);  // QPainterPath counts counter-clockwise
        sector.closeSubpath();
        painter.fillPath(sector, m_colorCircle);
        painter.strokePath(sector, painter.pen());
    }

    if (!m_skin.isEmpty()) paintFace(painter);

    if (!m_dotSkin.isEmpty()) {
        if (s <= 0) m_dot = dialPoint(false);
        if (s >= 360 - m_includedAngle) m_dot = dialPoint(true);
        const QPointF dot = dotPosition();
        painter.setPen(Qt::NoPen);
        painter.setBrush(qvtheme::Accent());
        painter.drawEllipse(dot, 3.0, 3.0);
    }

    if (!m_slashSkin.isEmpty()) paintPointer(painter, s);
}

void QvRotaryKnob::paintFace(QPainter& painter) const {
    const QPointF c(center());
    const double outer = std::min(width(), height()) / 2.0 - 1;
    if (outer <= 2) return;
    // With a value sector the face leaves its outer fifth visible as the lit ring.
    const bool ring = m_fgPaintArc != 0 && m_fgRadius > 0;
    const double face = std::min(outer, ring ? m_fgRadius * 0.8 : outer * 0.74);

    painter.save();
    QLinearGradient shade(c.x(), c.y() - face, c.x(), c.y() + face);
    shade.setColorAt(0, qvtheme::RaisedHover());
    shade.setColorAt(1, qvtheme::RaisedDown());
    painter.setBrush(shade);
    painter.setPen(QPen(qvtheme::Rim(), 1));
    painter.drawEllipse(c, face, face);

    // Eleven scale marks along the dial, just inside the edge of the control.
    painter.setPen(Qt::NoPen);
    painter.setBrush(qvtheme::Disabled());
    const double start = 90 + m_includedAngle / 2;
    const double full = 360 - m_includedAngle;
    for (int i = 0; i <= 10; ++i) {
        const double rad = (start + full * i / 10) * std::numbers::pi / 180;
        const QPointF mark = c + QPointF(std::cos(rad), std::sin(rad)) * (outer - 1);
        painter.drawEllipse(mark, 1.2, 1.2);
    }
    painter.restore();
}

void QvRotaryKnob::paintPointer(QPainter& painter, double s) const {
    const QSize size = m_pointerSize.isValid() ? m_pointerSize : kNaturalPointerSize;
    if (size.isEmpty()) return;
    // The pointer hangs from the centre along +y when taller than wide, along +x otherwise;
    // rotating it by this angle lays it along the value's direction.
    const bool wide = size.width() > size.height();
    const double angle = s + m_includedAngle / 2 + (wide ? 90 : 0);
    const QRectF box{QPointF(m_pointerOffset), QSizeF(size)};

    painter.save();
    painter.translate(QPointF(center()));
    painter.rotate(angle);
    const double thickness = wide ? box.height() : box.width();
    QPen pen(qvtheme::TextBright(), thickness, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    // A short indicator at the outer end rather than a needle from the centre.
    if (wide) {
        const double y = box.center().y();
        painter.drawLine(QPointF(box.left() + box.width() * 0.45, y),
                         QPointF(box.right() - thickness / 2, y));
    } else {
        const double x = box.center().x();
        painter.drawLine(QPointF(x, box.top() + box.height() * 0.45),
                         QPointF(x, box.bottom() - thickness / 2));
    }
    painter.restore();
}
