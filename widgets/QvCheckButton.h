#pragma once

#include <QCheckBox>

#include "QvTwoState.h"

// An on/off switch drawn as a key. With autoCheck 0 a click only reports itself (clicked) and
// the program decides the state.
class QvCheckButton : public QCheckBox, public QvTwoState {
    Q_OBJECT
    Q_PROPERTY(int autoCheck MEMBER m_autoCheck NOTIFY twoStateChanged)
    Q_PROPERTY(QString multitext MEMBER m_multitext NOTIFY twoStateChanged)
    Q_PROPERTY(QString text1 MEMBER m_text1 NOTIFY twoStateChanged)
    Q_PROPERTY(QString text2 MEMBER m_text2 NOTIFY twoStateChanged)
    Q_PROPERTY(QString multitip MEMBER m_multitip NOTIFY twoStateChanged)
    Q_PROPERTY(QString tip1 MEMBER m_tip1 NOTIFY twoStateChanged)
    Q_PROPERTY(QString tip2 MEMBER m_tip2 NOTIFY twoStateChanged)
    Q_PROPERTY(QString multicolor MEMBER m_multicolor NOTIFY twoStateChanged)
    Q_PROPERTY(QColor colortext1 MEMBER m_colortext1 NOTIFY twoStateChanged)
    Q_PROPERTY(QColor colortext2 MEMBER m_colortext2 NOTIFY twoStateChanged)
    Q_PROPERTY(QColor colorText MEMBER m_colorText NOTIFY twoStateChanged)

  public:
    explicit QvCheckButton(QWidget* parent = nullptr);

    QColor currentTextColor() const { return textColor(isChecked()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void twoStateChanged();

  protected:
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
};
