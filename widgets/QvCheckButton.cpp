#include "QvCheckButton.h"

#include <QPainter>

QvCheckButton::QvCheckButton(QWidget* parent) : QCheckBox(parent) {
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::toggled, this, [this] { applyTo(*this); });
    connect(this, &QvCheckButton::twoStateChanged, this, [this] { applyTo(*this); });
}

void QvCheckButton::nextCheckState() {
    if (m_autoCheck != 0) QCheckBox::nextCheckState();
}

// The whole key is clickable, not just an indicator and its label.
bool QvCheckButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

QSize QvCheckButton::sizeHint() const {
    return sizeHintFor(*this);
}

QSize QvCheckButton::minimumSizeHint() const {
    return sizeHintFor(*this);
}

void QvCheckButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(*this, painter);
}
