#pragma once

#include <QAbstractSlider>
#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>
#include <optional>

class QPainter;

// A dial for a range parameter. The value grows clockwise from the start of the dial to its
// end; a gap of includedAngle degrees at the bottom separates the two ends. The knob counts
// from 0 (min is neither added to a pointed-at value nor subtracted when drawing): every knob
// is bound with minimum 0.
//
// Angles are in screen convention, 0 along +x and clockwise positive. 3.14 stands in for pi
// throughout; which value a point near a step edge gives depends on it, so keep it.
class QvRotaryKnob : public QAbstractSlider {
    Q_OBJECT
    Q_PROPERTY(double includedAngle READ includedAngle WRITE setIncludedAngle)
    Q_PROPERTY(int fgRadius READ fgRadius WRITE setFgRadius)
    Q_PROPERTY(int fgPaintArc READ fgPaintArc WRITE setFgPaintArc)
    Q_PROPERTY(QColor colorCircle READ colorCircle WRITE setColorCircle)
    Q_PROPERTY(int dotRadius READ dotRadius WRITE setDotRadius)
    Q_PROPERTY(QString skin READ skin WRITE setSkin)
    Q_PROPERTY(QString dotSkin READ dotSkin WRITE setDotSkin)
    Q_PROPERTY(QString slashSkin READ slashSkin WRITE setSlashSkin)
    Q_PROPERTY(QSize pointerSize READ pointerSize WRITE setPointerSize)
    Q_PROPERTY(QPoint poniterOffset READ poniterOffset WRITE setPoniterOffset)

  public:
    explicit QvRotaryKnob(QWidget* parent = nullptr);

    double includedAngle() const { return m_includedAngle; }
    void setIncludedAngle(double degrees);
    int fgRadius() const { return m_fgRadius; }
    void setFgRadius(int radius);
    int fgPaintArc() const { return m_fgPaintArc; }
    void setFgPaintArc(int paint);
    QColor colorCircle() const { return m_colorCircle; }
    void setColorCircle(const QColor& color);
    int dotRadius() const { return m_dotRadius; }
    void setDotRadius(int radius);
    // Skins are names; an empty name draws nothing, any other draws our painted element.
    QString skin() const { return m_skin; }
    void setSkin(const QString& name);
    QString dotSkin() const { return m_dotSkin; }
    void setDotSkin(const QString& name);
    QString slashSkin() const { return m_slashSkin; }
    void setSlashSkin(const QString& name);
    // An invalid size draws the pointer at its natural size.
    QSize pointerSize() const { return m_pointerSize; }
    void setPointerSize(const QSize& size);
    QPoint poniterOffset() const { return m_pointerOffset; }
    void setPoniterOffset(const QPoint& offset);

    QPoint center() const { return QPoint(width() / 2, height() / 2); }
    // Degrees the value sector covers from the start of the dial, 0 … 360 − includedAngle.
    double sweep() const;
    // The value a press at `point` selects (max inside the gap).
    int valueAt(QPoint point) const;
    // Where the dot marker is drawn.
    QPointF dotPosition() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The user moved the knob (mouse, wheel, keys); never raised for setValue.
    void positionChanged(int value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Aim {
        double direction;  // from the centre, degrees 0 … 360
        double sweep;      // from the start of the dial, degrees 0 … 360
    };
    Aim aimAt(QPoint point) const;
    int valueForSweep(double sweep) const;
    // Value at the point, moving the dot there as the pointer does.
    int trackPointer(QPoint point);
    void changeByUser(int value);
    QPointF dialPoint(bool end) const;
    void paintFace(QPainter& painter) const;
    void paintPointer(QPainter& painter, double sweep) const;

    double m_includedAngle = 30;
    int m_fgRadius = 0;
    int m_fgPaintArc = 1;
    QColor m_colorCircle{0, 246, 255};
    int m_dotRadius = 20;
    QString m_skin{QStringLiteral("default")};
    QString m_dotSkin;
    QString m_slashSkin;
    QSize m_pointerSize;
    QPoint m_pointerOffset;

    std::optional<QPointF> m_dot;  // unset: at the start of the dial
    QSize m_laidOutSize;
    bool m_dragging = false;
    QPoint m_pressPoint;
    bool m_holdAtMax = false;
    bool m_holdAtMin = false;
};
