#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include "QvTheme.h"

class QAbstractButton;
class QPainter;

// What QvCheckButton and QvRadioButton share: whether a click changes the checked state
// (autoCheck), and the text, tooltip and text colour that follow the state. A "multi..."
// switch is on when it is set to anything but "0"; then the first value is used while
// unchecked and the second while checked.
class QvTwoState {
  public:
    static bool isOn(const QString& multiSwitch);

    QColor textColor(bool checked) const;
    // Puts the text and tooltip for the button's state on the button.
    void applyTo(QAbstractButton& button) const;
    // Our look: a rounded key, tinted and edged with the accent while checked, the text
    // centred.
    void paint(QAbstractButton& button, QPainter& painter) const;
    static QSize sizeHintFor(const QAbstractButton& button);

  protected:
    int m_autoCheck = 1;
    QString m_multitext{QStringLiteral("0")};
    QString m_text1;
    QString m_text2;
    QString m_multitip{QStringLiteral("0")};
    QString m_tip1;
    QString m_tip2;
    QString m_multicolor{QStringLiteral("0")};
    QColor m_colortext1 = qvtheme::Text();
    QColor m_colortext2 = qvtheme::TextBright();
    QColor m_colorText = qvtheme::Text();
};
