#include "QvValueTip.h"

#include <QPainter>

#include "QvTheme.h"

QvValueTip::QvValueTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
}

QSize QvValueTip::sizeFor(const QString& text) {
    return QSize(6 * static_cast<int>(text.size()) + 10, 22);
}

void QvValueTip::showText(const QString& text, QPoint globalPos) {
    if (text != m_text) {
        m_text = text;
        setFixedSize(sizeFor(text));
        update();
    }
    move(globalPos);
    show();
}

void QvValueTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(qvtheme::Accent(), 1));
    painter.setBrush(qvtheme::Groove());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.setPen(qvtheme::TextBright());
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
