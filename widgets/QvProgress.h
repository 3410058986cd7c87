#pragma once

#include <QString>
#include <QWidget>

// A progress bar: a background over the whole bar and a filled part for the value, growing
// from the left (from the bottom when vertical). Values outside the range are clamped.
class QvProgress : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(QString bkgndSkin READ bkgndSkin WRITE setBkgndSkin)
    Q_PROPERTY(QString posSkin READ posSkin WRITE setPosSkin)

  public:
    explicit QvProgress(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    void setMinimum(int minimum);
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    int value() const { return m_value; }
    void setValue(int value);
    Qt::Orientation orientation() const { return m_orientation; }
    void setOrientation(Qt::Orientation orientation);
    // Skins are names; an empty name draws nothing, any other draws our painted element.
    QString bkgndSkin() const { return m_bkgndSkin; }
    void setBkgndSkin(const QString& name);
    QString posSkin() const { return m_posSkin; }
    void setPosSkin(const QString& name);

    QRect filledRect() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool vertical() const { return m_orientation == Qt::Vertical; }
    // Changes the value without asking for a redraw, for displays that settle while drawing.
    void storeValue(int value) { m_value = value; }

  private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    Qt::Orientation m_orientation = Qt::Horizontal;
    QString m_bkgndSkin{QStringLiteral("default")};
    QString m_posSkin{QStringLiteral("default")};
};
