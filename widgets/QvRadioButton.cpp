#include "QvRadioButton.h"

#include <QFocusEvent>
#include <QPainter>

QvRadioButton::QvRadioButton(QWidget* parent) : QRadioButton(parent) {
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::toggled, this, [this] { applyTo(*this); });
    connect(this, &QvRadioButton::twoStateChanged, this, [this] { applyTo(*this); });
}

void QvRadioButton::nextCheckState() {
    if (m_autoCheck != 0) QRadioButton::nextCheckState();
}

bool QvRadioButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void QvRadioButton::focusInEvent(QFocusEvent* event) {
    QRadioButton::focusInEvent(event);
    // Only focus the user moved here selects: a window getting active again restores the
    // focus to a button the program may have unchecked meanwhile, and a mouse press is
    // followed by its own click.
    const Qt::FocusReason reason = event->reason();
    const bool byUser = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                        reason == Qt::ShortcutFocusReason;
    if (byUser && m_autoCheck != 0 && !isChecked()) click();
}

QSize QvRadioButton::sizeHint() const {
    return sizeHintFor(*this);
}

QSize QvRadioButton::minimumSizeHint() const {
    return sizeHintFor(*this);
}

void QvRadioButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(*this, painter);
}
