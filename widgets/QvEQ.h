#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include "EqPlot.h"
#include "EqResponse.h"
#include "QvTheme.h"

class QvEqCurve;
class QvEqGrid;
class SMoveThumb;

// The equaliser's frequency response: owns the response engine and the plot metrics; its
// children draw them (QvEqCurve, optionally QvEqGrid) and let the user drag band points
// (SMoveThumb, optionally). The curve and the grid always cover the whole widget; their
// drawing is in this widget's coordinates.
class QvEQ : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ldist READ Ldist WRITE SetLdist)
    Q_PROPERTY(int tdist READ Tdist WRITE SetTdist)
    Q_PROPERTY(int rdist READ Rdist WRITE SetRdist)
    Q_PROPERTY(int bdist READ Bdist WRITE SetBdist)
    Q_PROPERTY(int dbMax READ DbMax WRITE SetDbMax)
    Q_PROPERTY(int dbMin READ DbMin WRITE SetDbMin)
    Q_PROPERTY(int nKedu READ NKedu WRITE SetNKedu)
    Q_PROPERTY(int dbKeduVal READ DbKeduVal WRITE SetDbKeduVal)
    Q_PROPERTY(int zeroXFreq READ ZeroXFreq WRITE SetZeroXFreq)
    Q_PROPERTY(double minFreq MEMBER minFreq_)
    Q_PROPERTY(double maxFreq MEMBER maxFreq_)
    Q_PROPERTY(double hpfOffFreq MEMBER hpfOffFreq_)
    Q_PROPERTY(double lpfOffFreq MEMBER lpfOffFreq_)
    Q_PROPERTY(double lpfOffFreqMax MEMBER lpfOffFreqMax_)
    Q_PROPERTY(QColor colorBack READ ColorBack WRITE SetColorBack)

  public:
    explicit QvEQ(QWidget* parent = nullptr);
    ~QvEQ() override;

    // Bands. AddBand and SetBand return 1 on success, 0 when refused or (SetBand) when the
    // curve did not change; neither redraws: call Redraw() after a batch of changes.
    int AddBand(int type, double freq, double gain, double q);
    int SetBand(int index, double value, int what);
    int SetBandGain(int index, double db) { return SetBand(index, db, lw52::kEqGain); }
    int SetBandFreq(int index, double hz) { return SetBand(index, hz, lw52::kEqFreq); }
    int SetBandQ(int index, double q) { return SetBand(index, q, lw52::kEqQ); }
    // Recomputes every band and the sums, shows the thumbs of existing bands, redraws.
    void Refresh();
    // Re-places the thumbs from the bands and repaints the curve.
    void Redraw();
    void PlaceThumbs();

    const lw52::EqResponse& Response() const { return response_; }
    const lw52::EqPlotMetrics& Metrics() const { return metrics_; }
    QvEqCurve* Curve();
    QvEqGrid* Grid();

    int Ldist() const { return layout_.ldist; }
    int Tdist() const { return layout_.tdist; }
    int Rdist() const { return layout_.rdist; }
    int Bdist() const { return layout_.bdist; }
    int DbMax() const { return layout_.dbMax; }
    int DbMin() const { return layout_.dbMin; }
    int NKedu() const { return layout_.nKedu; }
    int DbKeduVal() const { return layout_.dbKeduVal; }
    int ZeroXFreq() const { return static_cast<int>(layout_.zeroXFreq); }
    double MinFreq() const { return minFreq_; }
    double MaxFreq() const { return maxFreq_; }
    QColor ColorBack() const { return colorBack_; }
    void SetLdist(int v);
    void SetTdist(int v);
    void SetRdist(int v);
    void SetBdist(int v);
    void SetDbMax(int v);
    void SetDbMin(int v);
    void SetNKedu(int v);
    void SetDbKeduVal(int v);
    // Clamped to 10..20 Hz; rebuilds the frequency axis.
    void SetZeroXFreq(int hz);
    void SetColorBack(const QColor& c);

  signals:
    // A band point was dragged. flags: bit 0 gain changed, bit 1 frequency changed.
    void eqValueChanged(int band, double gain, double freq, int flags);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void OnThumbMoving(int index, QPoint topLeft);
    void UpdateMetrics();
    // Children arrive after construction (the layout loader adds them), so they are found
    // again whenever one came or went.
    void CollectChildren();

    lw52::EqResponse response_;
    lw52::EqPlotLayout layout_;
    lw52::EqPlotMetrics metrics_;
    double minFreq_ = 10.0, maxFreq_ = 22000.0;
    // Handle positions for extra filters outside minFreq..maxFreq; kept for layouts.
    double hpfOffFreq_ = 10.0, lpfOffFreq_ = 23000.0, lpfOffFreqMax_ = 0.0;
    QColor colorBack_ = qvtheme::Groove();
    bool childrenDirty_ = true;
    QvEqCurve* curve_ = nullptr;
    QvEqGrid* grid_ = nullptr;
    QList<SMoveThumb*> thumbs_;
};
