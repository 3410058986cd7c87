#include "QvEQ.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

#include "QvEqCurve.h"
#include "QvEqGrid.h"
#include "SMoveThumb.h"

QvEQ::QvEQ(QWidget* parent) : QWidget(parent), response_(lw52::kEqMinZeroXFreq) {
    layout_.zeroXFreq = lw52::kEqMinZeroXFreq;
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateMetrics();
}

QvEQ::~QvEQ() = default;

int QvEQ::AddBand(int type, double freq, double gain, double q) {
    return response_.AddBand(type, freq, gain, q);
}

int QvEQ::SetBand(int index, double value, int what) {
    return response_.SetBand(index, value, what);
}

void QvEQ::Refresh() {
    response_.Refresh();
    CollectChildren();
    for (SMoveThumb* thumb : thumbs_)
        thumb->setVisible(thumb->Index() >= 0 && thumb->Index() < response_.BandCount());
    Redraw();
}

void QvEQ::Redraw() {
    PlaceThumbs();
    if (QvEqCurve* curve = Curve()) curve->update();
}

void QvEQ::PlaceThumbs() {
    CollectChildren();
    for (SMoveThumb* thumb : thumbs_) {
        const int index = thumb->Index();
        if (index < 0) continue;  // extra-filter handles keep their own place
        if (index >= response_.BandCount()) {
            thumb->hide();
            continue;
        }
        const lw52::EqBand& band = response_.Band(index);
        thumb->PlaceCentre(QPoint(metrics_.XOfFreq(band.freq), metrics_.YOfLevel(band.gain)));
    }
}

QvEqCurve* QvEQ::Curve() {
    CollectChildren();
    return curve_;
}

QvEqGrid* QvEQ::Grid() {
    CollectChildren();
    return grid_;
}

void QvEQ::OnThumbMoving(int index, QPoint topLeft) {
    const auto* thumb = qobject_cast<const SMoveThumb*>(sender());
    if (!thumb || index < 0 || index >= response_.BandCount()) return;
    const QPoint centre = topLeft + QPoint(thumb->width() / 2, thumb->height() / 2);
    const double gain = std::clamp(metrics_.LevelAtY(centre.y()), static_cast<double>(DbMin()),
                                   static_cast<double>(std::max(DbMin(), DbMax())));
    const double freq =
        std::clamp(metrics_.FreqAtX(centre.x()), minFreq_, std::max(minFreq_, maxFreq_));
    response_.SetBand(index, gain, lw52::kEqGain);
    response_.SetBand(index, freq, lw52::kEqFreq);
    emit eqValueChanged(index, gain, freq, 3);
    Redraw();
}

void QvEQ::SetLdist(int v) {
    layout_.ldist = v;
    UpdateMetrics();
}
void QvEQ::SetTdist(int v) {
    layout_.tdist = v;
    UpdateMetrics();
}
void QvEQ::SetRdist(int v) {
    layout_.rdist = v;
    UpdateMetrics();
}
void QvEQ::SetBdist(int v) {
    layout_.bdist = v;
    UpdateMetrics();
}
void QvEQ::SetDbMax(int v) {
    layout_.dbMax = v;
    UpdateMetrics();
}
void QvEQ::SetDbMin(int v) {
    layout_.dbMin = v;
    UpdateMetrics();
}
void QvEQ::SetNKedu(int v) {
    layout_.nKedu = std::max(1, v);
    UpdateMetrics();
}
void QvEQ::SetDbKeduVal(int v) {
    layout_.dbKeduVal = v;
    UpdateMetrics();
}

void QvEQ::SetZeroXFreq(int hz) {
    layout_.zeroXFreq =
        std::clamp(static_cast<double>(hz), lw52::kEqMinZeroXFreq, lw52::kEqMaxZeroXFreq);
    response_.SetZeroXFreq(layout_.zeroXFreq);
    UpdateMetrics();
}

void QvEQ::SetColorBack(const QColor& c) {
    colorBack_ = c;
    update();
}

// Every attribute and size change lands here: the metrics first, then whatever is drawn
// from them.
void QvEQ::UpdateMetrics() {
    metrics_ = lw52::EqPlotMetrics(layout_, 0, 0, width(), height());
    PlaceThumbs();
    update();
    if (QvEqCurve* curve = Curve()) curve->update();
    if (QvEqGrid* grid = Grid()) grid->update();
}

void QvEQ::CollectChildren() {
    if (!childrenDirty_) return;
    childrenDirty_ = false;
    curve_ = nullptr;
    grid_ = nullptr;
    thumbs_.clear();
    for (QObject* child : children()) {
        if (auto* curve = qobject_cast<QvEqCurve*>(child); curve && !curve_) {
            curve_ = curve;
        } else if (auto* grid = qobject_cast<QvEqGrid*>(child); grid && !grid_) {
            grid_ = grid;
        } else if (auto* thumb = qobject_cast<SMoveThumb*>(child)) {
            thumbs_.append(thumb);
            connect(thumb, &SMoveThumb::thumbMoving, this, &QvEQ::OnThumbMoving,
                    Qt::UniqueConnection);
        }
    }
    // Grid at the bottom, then the curve, handles on top; the two layers leave the mouse to
    // the handles.
    for (QWidget* layer : {static_cast<QWidget*>(curve_), static_cast<QWidget*>(grid_)}) {
        if (!layer) continue;
        layer->setAttribute(Qt::WA_TransparentForMouseEvents);
        layer->setGeometry(rect());
        layer->lower();
    }
    for (SMoveThumb* thumb : thumbs_) thumb->raise();
}

bool QvEQ::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::ChildAdded:
        case QEvent::ChildRemoved:
        case QEvent::ChildPolished:
            childrenDirty_ = true;
            break;
        default:
            break;
    }
    return QWidget::event(e);
}

void QvEQ::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), colorBack_);
}

void QvEQ::resizeEvent(QResizeEvent* e) {
    CollectChildren();
    if (curve_) curve_->setGeometry(rect());
    if (grid_) grid_->setGeometry(rect());
    UpdateMetrics();
    QWidget::resizeEvent(e);
}

void QvEQ::showEvent(QShowEvent* e) {
    CollectChildren();
    QWidget::showEvent(e);
}
