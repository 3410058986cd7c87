#include "QvEqCurve.h"

#include <QPainter>
#include <vector>

#include "QvEQ.h"

namespace {

void FillLine(QPolygonF& line, const lw52::EqPlotMetrics& m, const std::vector<double>& db) {
    line.resize(lw52::kEqPoints);
    for (int i = 0; i < lw52::kEqPoints; ++i)
        line[i] = QPointF(m.PointX(i), m.CurveY(db[static_cast<size_t>(i)]));
}

}  // namespace

QvEqCurve::QvEqCurve(QWidget* parent) : QWidget(parent) {
    line_.reserve(lw52::kEqPoints);
    area_.reserve(lw52::kEqPoints + 2);
}

QvEqCurve::~QvEqCurve() = default;

void QvEqCurve::SetColorLine(const QColor& c) {
    colorLine_ = c;
    update();
}

void QvEqCurve::SetColorCurrLine(const QColor& c) {
    colorCurrLine_ = c;
    update();
}

void QvEqCurve::SetLineWidth(int w) {
    lineWidth_ = w;
    update();
}

void QvEqCurve::paintEvent(QPaintEvent*) {
    const auto* eq = qobject_cast<const QvEQ*>(parentWidget());
    if (!eq) return;
    const lw52::EqPlotMetrics& m = eq->Metrics();
    const lw52::EqResponse& response = eq->Response();

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-pos());  // the metrics are in the parent's coordinates

    if (const lw52::EqBand* band = response.CurrentFilter()) {
        const double base = m.ShadeBase(response.CurrentIsExtraFilter());
        area_.resize(lw52::kEqPoints + 2);
        area_[0] = QPointF(m.PointX(0), base);
        for (int i = 0; i < lw52::kEqPoints; ++i)
            area_[i + 1] = QPointF(m.PointX(i), m.ShadeY(band->response[static_cast<size_t>(i)]));
        area_[lw52::kEqPoints + 1] = QPointF(m.PointX(lw52::kEqPoints - 1), base);
        p.setPen(Qt::NoPen);
        p.setBrush(colorCurrLine_);
        p.drawPolygon(area_);
        // The outline follows the response only, not the base.
        p.setPen(QPen(colorCurrLine_, lineWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(area_.constData() + 1, lw52::kEqPoints);
    }

    QColor main = colorLine_;
    main.setAlpha(255);
    FillLine(line_, m, response.MainSum());
    p.setPen(QPen(main, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line_);

    if (response.HasSecondCurve()) {
        FillLine(line_, m, response.SecondSum());
        p.setPen(QPen(SecondLineColor(), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line_);
    }
}
