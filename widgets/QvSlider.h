#pragma once

#include <QAbstractSlider>
#include <QPoint>
#include <QSize>
#include <QString>

#include "QvSliderParts.h"

class QvValueTip;

// A slider with a thumb on a rail and a filled part up to the thumb. A click on the rail
// jumps to the value under the pointer, a drag moves by the distance travelled, and the
// value (plus `delta`) can follow the thumb in a small tip.
//
// "thumbInRail-x" is not a valid C++ name, so layouts set it as a dynamic property of that
// name; code uses setThumbInRailX.
class QvSlider : public QAbstractSlider {
    Q_OBJECT
    Q_PROPERTY(QString bkgndSkin READ bkgndSkin WRITE setBkgndSkin)
    Q_PROPERTY(QString posSkin READ posSkin WRITE setPosSkin)
    Q_PROPERTY(QString thumbSkin READ thumbSkin WRITE setThumbSkin)
    Q_PROPERTY(bool thumbInRail READ thumbInRail WRITE setThumbInRail)
    Q_PROPERTY(bool showPercent READ showPercent WRITE setShowPercent)
    Q_PROPERTY(int SelectPosDeflate READ selectPosDeflate WRITE setSelectPosDeflate)
    Q_PROPERTY(int delta READ delta WRITE setDelta)
    Q_PROPERTY(QSize thumbSize READ thumbSize WRITE setThumbSize)
    Q_PROPERTY(int bkgndThickness READ bkgndThickness WRITE setBkgndThickness)

  public:
    enum class Part { None, Thumb, Filled, Rail };

    explicit QvSlider(QWidget* parent = nullptr);

    // Skins are names; an empty name draws nothing (and an empty thumb or background skin
    // has no size), any other draws our painted element.
    QString bkgndSkin() const { return m_bkgndSkin; }
    void setBkgndSkin(const QString& name);
    QString posSkin() const { return m_posSkin; }
    void setPosSkin(const QString& name);
    QString thumbSkin() const { return m_thumbSkin; }
    void setThumbSkin(const QString& name);
    bool thumbInRail() const { return m_thumbInRail; }
    void setThumbInRail(bool inRail);
    bool showPercent() const { return m_showPercent; }
    void setShowPercent(bool show);
    int selectPosDeflate() const { return m_selectPosDeflate; }
    void setSelectPosDeflate(int pixels);
    int thumbInRailX() const { return m_thumbInRailX; }
    void setThumbInRailX(int pixels);
    int delta() const { return m_delta; }
    void setDelta(int delta);
    // The painted thumb's size, and the background's size across the rail.
    QSize thumbSize() const { return m_thumbSize; }
    void setThumbSize(const QSize& size);
    int bkgndThickness() const { return m_bkgndThickness; }
    void setBkgndThickness(int pixels);

    QvSliderParts parts() const;
    Part partAt(QPoint point) const;
    // The value tip, null until first shown.
    const QvValueTip* valueTip() const { return m_tip; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The user moved the slider (mouse, wheel, keys); never raised for setValue.
    void positionChanged(int value);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool vertical() const { return orientation() == Qt::Vertical; }
    int valueAtClick(QPoint point, const QRect& rail) const;
    void hoverAt(QPoint point);
    void changeByUser(int value);
    void showValueTip();
    void hideValueTip();

    QString m_bkgndSkin{QStringLiteral("default")};
    QString m_posSkin{QStringLiteral("default")};
    QString m_thumbSkin{QStringLiteral("default")};
    bool m_thumbInRail = false;
    bool m_showPercent = false;
    int m_selectPosDeflate = 0;
    int m_thumbInRailX = 0;
    int m_delta = 0;
    QSize m_thumbSize{16, 16};
    int m_bkgndThickness = 4;

    bool m_dragging = false;
    QPoint m_pressPoint;
    int m_pressValue = 0;
    Part m_hover = Part::None;
    QvValueTip* m_tip = nullptr;
};
