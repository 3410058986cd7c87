#include "QvTwoState.h"

#include <QAbstractButton>
#include <QPainter>
#include <algorithm>

namespace {

QColor Mix(const QColor& base, const QColor& tint, double share) {
    auto channel = [share](int a, int b) { return static_cast<int>(a + (b - a) * share); };
    return QColor(channel(base.red(), tint.red()), channel(base.green(), tint.green()),
                  channel(base.blue(), tint.blue()));
}

}  // namespace

bool QvTwoState::isOn(const QString& multiSwitch) {
    return !multiSwitch.isEmpty() && multiSwitch != QLatin1String("0");
}

QColor QvTwoState::textColor(bool checked) const {
    if (!isOn(m_multicolor)) return m_colorText;
    return checked ? m_colortext2 : m_colortext1;
}

void QvTwoState::applyTo(QAbstractButton& button) const {
    const bool checked = button.isChecked();
    if (isOn(m_multitext)) button.setText(checked ? m_text2 : m_text1);
    if (isOn(m_multitip)) button.setToolTip(checked ? m_tip2 : m_tip1);
    button.update();
}

void QvTwoState::paint(QAbstractButton& button, QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = button.isEnabled();
    if (!enabled) painter.setOpacity(0.45);

    // Checked keys are tinted and edged with the accent; the text keeps its own colour, which
    // would lose contrast on a solid accent fill.
    const bool hover = button.underMouse() && enabled;
    QColor fill = qvtheme::Raised();
    QColor edge = qvtheme::Rim();
    if (button.isChecked()) {
        fill = Mix(qvtheme::Raised(), qvtheme::Accent(), hover ? 0.45 : 0.35);
        edge = qvtheme::Accent();
    } else if (button.isDown()) {
        fill = qvtheme::RaisedDown();
    } else if (hover) {
        fill = qvtheme::RaisedHover();
    }
    // A keyboard user needs to see where the focus is; a mouse user does not.
    if (button.hasFocus() && button.window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        edge = qvtheme::AccentHover();
    }
    const QRectF key = QRectF(button.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(key, 4, 4);

    painter.setPen(textColor(button.isChecked()));
    painter.setFont(button.font());
    painter.drawText(button.rect().adjusted(4, 0, -4, 0), Qt::AlignCenter | Qt::TextShowMnemonic,
                     button.text());
}

QSize QvTwoState::sizeHintFor(const QAbstractButton& button) {
    const QFontMetrics metrics = button.fontMetrics();
    return QSize(metrics.horizontalAdvance(button.text()) + 24,
                 std::max(28, metrics.height() + 10));
}
