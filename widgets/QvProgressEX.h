#pragma once

#include <QString>

#include "QvProgress.h"

// A level bar whose display falls slowly and rises at once: each redraw lets it drop by at
// most DeclineSpeed percent of the maximum. A value of 0 is shown at once. Drawn in three
// layers: the lit bar, the unlit part above the value, a frame over everything.
class QvProgressEX : public QvProgress {
    Q_OBJECT
    Q_PROPERTY(QString SkinPosBottom READ skinPosBottom WRITE setSkinPosBottom)
    Q_PROPERTY(QString SkinPosMid READ skinPosMid WRITE setSkinPosMid)
    Q_PROPERTY(QString SkinPosTop READ skinPosTop WRITE setSkinPosTop)
    Q_PROPERTY(int DeclineSpeed READ declineSpeed WRITE setDeclineSpeed)

  public:
    explicit QvProgressEX(QWidget* parent = nullptr);

    QString skinPosBottom() const { return m_skinBottom; }
    void setSkinPosBottom(const QString& name);
    QString skinPosMid() const { return m_skinMid; }
    void setSkinPosMid(const QString& name);
    QString skinPosTop() const { return m_skinTop; }
    void setSkinPosTop(const QString& name);
    int declineSpeed() const { return m_declineSpeed; }
    void setDeclineSpeed(int percent);

    // The value last drawn.
    int shown() const { return m_shown; }
    // The part above the value, where the bar is unlit.
    QRect unlitRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Whether 0 skips the slow fall.
    virtual bool dropsToZeroAtOnce() const { return true; }

  private:
    // Limits the fall since the last redraw; the held-up value becomes the stored value.
    void settleDisplay();
    void paintLit(QPainter& painter) const;
    void paintFrame(QPainter& painter) const;

    QString m_skinBottom{QStringLiteral("default")};
    QString m_skinMid{QStringLiteral("default")};
    QString m_skinTop{QStringLiteral("default")};
    int m_declineSpeed = 4;
    int m_shown = 0;
};
