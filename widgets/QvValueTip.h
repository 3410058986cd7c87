#pragma once

#include <QString>
#include <QWidget>

// The small window a slider shows next to its thumb with the value. Sized from the number of
// characters (6 pixels each plus a margin, 22 high) so that the slider can place it exactly.
class QvValueTip : public QWidget {
    Q_OBJECT

  public:
    explicit QvValueTip(QWidget* owner);

    QString text() const { return m_text; }
    // Shows `text` with the tip's top-left corner at `globalPos`.
    void showText(const QString& text, QPoint globalPos);

    static QSize sizeFor(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_text;
};
