#include "SMoveThumb.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

SMoveThumb::SMoveThumb(QWidget* parent) : QWidget(parent) {
    resize(12, 12);
    WatchParent();
}

SMoveThumb::~SMoveThumb() = default;

void SMoveThumb::SetCenterColor(const QColor& c) {
    centerColor_ = c;
    update();
}

QColor SMoveThumb::RimColor() const {
    return QColor((centerColor_.red() + 57) % 256, (centerColor_.green() + 57) % 256,
                  (centerColor_.blue() + 57) % 256);
}

void SMoveThumb::SetXFloat(double x) {
    xFloat_ = x;
    floatsSet_ = true;
    PlaceFromFloats();
}

void SMoveThumb::SetYFloat(double y) {
    yFloat_ = y;
    floatsSet_ = true;
    PlaceFromFloats();
}

void SMoveThumb::PlaceCentre(QPoint p) {
    move(p.x() - width() / 2, p.y() - height() / 2);
    if (const QWidget* parent = parentWidget();
        parent && parent->width() > 0 && parent->height() > 0) {
        xFloat_ = static_cast<double>(p.x()) / parent->width();
        yFloat_ = static_cast<double>(p.y()) / parent->height();
        floatsSet_ = true;
    }
}

void SMoveThumb::PlaceFromFloats() {
    const QWidget* parent = parentWidget();
    if (!floatsSet_ || !parent) return;
    const int cx = static_cast<int>(std::lround(xFloat_ * parent->width()));
    const int cy = static_cast<int>(std::lround(yFloat_ * parent->height()));
    move(cx - width() / 2, cy - height() / 2);
}

void SMoveThumb::WatchParent() {
    if (watched_ == parentWidget()) return;
    if (watched_) watched_->removeEventFilter(this);
    watched_ = parentWidget();
    if (watched_) watched_->installEventFilter(this);
}

bool SMoveThumb::eventFilter(QObject* watched, QEvent* e) {
    // Runs before the parent's own resize handling, which may then place band handles anew.
    if (watched == watched_ && e->type() == QEvent::Resize) PlaceFromFloats();
    return QWidget::eventFilter(watched, e);
}

void SMoveThumb::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ParentChange) WatchParent();
    QWidget::changeEvent(e);
}

void SMoveThumb::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QRadialGradient gradient(r.center(), r.width() / 2);
    gradient.setColorAt(0.0, centerColor_);
    gradient.setColorAt(1.0, RimColor());
    p.setBrush(gradient);
    p.setPen(QPen(centerColor_, 1.0));
    p.drawEllipse(r);
}

void SMoveThumb::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    // Qt keeps the mouse with this widget until release (implicit grab).
    grabOffset_ = e->position().toPoint();
    dragging_ = true;
    setCursor(Qt::SizeAllCursor);
}

void SMoveThumb::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return QWidget::mouseMoveEvent(e);
    QPoint topLeft = mapToParent(e->position().toPoint()) - grabOffset_;
    if (!canXMove_) topLeft.setX(x());
    if (!canYMove_) topLeft.setY(y());
    if (const QWidget* parent = parentWidget(); parent && !canOutsize_) {
        // The centre stays inside the parent, so a handle cannot be lost off its edge.
        const int halfW = width() / 2, halfH = height() / 2;
        topLeft.setX(std::clamp(topLeft.x() + halfW, 0, std::max(0, parent->width())) - halfW);
        topLeft.setY(std::clamp(topLeft.y() + halfH, 0, std::max(0, parent->height())) - halfH);
    }
    emit thumbMoving(index_, topLeft);
}

void SMoveThumb::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !dragging_) return QWidget::mouseReleaseEvent(e);
    dragging_ = false;
    unsetCursor();
}
