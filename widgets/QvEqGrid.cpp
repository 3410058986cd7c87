#include "QvEqGrid.h"

#include <QPainter>

#include "QvEQ.h"

QvEqGrid::QvEqGrid(QWidget* parent) : QWidget(parent) {
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
}

QvEqGrid::~QvEqGrid() = default;

void QvEqGrid::SetColorGrid(const QColor& c) {
    colorGrid_ = c;
    update();
}

void QvEqGrid::SetColorText(const QColor& c) {
    colorText_ = c;
    update();
}

void QvEqGrid::paintEvent(QPaintEvent*) {
    const auto* eq = qobject_cast<const QvEQ*>(parentWidget());
    if (!eq) return;
    const lw52::EqPlotMetrics& m = eq->Metrics();

    QPainter p(this);
    p.translate(-pos());  // the metrics are in the parent's coordinates
    const int textHeight = p.fontMetrics().height();
    // Lines sit on pixel centres: one sharp pixel at a device pixel ratio of 1, two at 2.
    const QPen linePen(colorGrid_, 1.0);
    const double left = m.left + m.layout.ldist, right = m.right - m.layout.rdist;

    for (const lw52::EqGridRow& row : lw52::EqGridRows(m)) {
        p.setPen(linePen);
        p.drawLine(QPointF(left, row.y + 0.5), QPointF(right, row.y + 0.5));
        if (row.label.empty()) continue;
        p.setPen(colorText_);
        // Right-aligned in the left margin, centred on its line.
        p.drawText(QRect(m.left, row.y - textHeight / 2, m.layout.ldist - 3, textHeight),
                   Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(row.label));
    }
    // Labels under the plot's bottom line, starting 12 pixels left of their line.
    const int labelTop = static_cast<int>(m.PlotBottom()) + 5;
    for (const lw52::EqGridColumn& column : lw52::EqGridColumns(m)) {
        p.setPen(linePen);
        p.drawLine(QPointF(column.x + 0.5, column.top), QPointF(column.x + 0.5, column.bottom));
        if (column.label.empty()) continue;
        p.setPen(colorText_);
        p.drawText(QPoint(column.x - 12, labelTop + p.fontMetrics().ascent()),
                   QString::fromStdString(column.label));
    }
}
