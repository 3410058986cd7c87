#pragma once

#include <QColor>
#include <QWidget>

// The dB and frequency grid under the curve of its QvEQ parent, with "12dB" and "1kHz"
// style labels. Draws nothing outside a QvEQ.
class QvEqGrid : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor colorGrid READ ColorGrid WRITE SetColorGrid)
    Q_PROPERTY(QColor colorText READ ColorText WRITE SetColorText)

  public:
    explicit QvEqGrid(QWidget* parent = nullptr);
    ~QvEqGrid() override;

    QColor ColorGrid() const { return colorGrid_; }
    QColor ColorText() const { return colorText_; }
    void SetColorGrid(const QColor& c);
    void SetColorText(const QColor& c);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QColor colorGrid_{0xff, 0xff, 0xff, 0x24};
    QColor colorText_{0x8a, 0x94, 0x9e};
};
