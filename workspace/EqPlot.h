#pragma once

#include <string>
#include <vector>

#include "EqResponse.h"

// Where the equaliser curve, its grid and its band handles go inside the widget: the plot
// metrics shared by the curve, the grid and the drag handler. Plain integers and doubles so
// the geometry is testable without a display.
namespace lw52 {

// The widget's layout attributes (pixels, dB, Hz).
struct EqPlotLayout {
    int ldist = 36, tdist = 18, rdist = 0, bdist = 16;  // margins of the plot area
    int dbMax = 12, dbMin = -12;
    int nKedu = 4;      // horizontal grid intervals
    int dbKeduVal = 6;  // grid lines at multiples of this are labelled
    double zeroXFreq = 10.0;
};

// The upper end of the frequency scale (the axis stops just below it).
constexpr double kEqTopFreq = 24000.0;

struct EqPlotMetrics {
    EqPlotMetrics() = default;
    // From the widget rectangle (right and bottom exclusive, as a width and height give).
    EqPlotMetrics(const EqPlotLayout& layout, int left, int top, int right, int bottom);

    EqPlotLayout layout;
    int left = 0, top = 0, right = 0, bottom = 0;
    int rowHeight = 0;   // one grid interval
    int spare = 0;       // pixels left over below the last grid interval
    int plotWidth = 0;   // pixels
    int plotHeight = 0;  // rowHeight * nKedu
    double pxPerDecade = 0, pxPerPoint = 0, pxPerDb = 0;

    // Grid and handle positions, rounded half up.
    int XOfFreq(double freq) const;
    int YOfLevel(double db) const;
    // The inverse, unrounded and unclamped: where a dragged handle's centre puts its band.
    double FreqAtX(double x) const;
    double LevelAtY(double y) const;

    // Curve geometry: x of axis point i, the 0 dB line, y of a summed level (not clipped).
    double PointX(int i) const { return left + layout.ldist + i * pxPerPoint; }
    double ZeroY() const;
    double CurveY(double db) const { return ZeroY() - db * pxPerDb; }
    // The plot's bottom line.
    double PlotBottom() const { return top + layout.tdist + plotHeight; }
    // The current band's shaded area: its response never reaches below the plot, and it is
    // closed along the 0 dB line (an extra filter: along the plot's bottom line).
    double ShadeY(double db) const;
    double ShadeBase(bool extraFilter) const { return extraFilter ? PlotBottom() : ZeroY(); }
};

struct EqGridRow {
    int y;
    int level;          // dB
    std::string label;  // "%ddB" or empty
};
struct EqGridColumn {
    int x;
    int top, bottom;
    double freq;
    std::string label;  // "20Hz" ... "20kHz" or empty
};

// nKedu + 1 horizontal lines from dbMax down, labelled at multiples of dbKeduVal.
std::vector<EqGridRow> EqGridRows(const EqPlotMetrics& m);
// The vertical lines 10 (zeroXFreq), 20, ... 90, 100, 200, ... 10000, 20000 Hz.
std::vector<EqGridColumn> EqGridColumns(const EqPlotMetrics& m);

}  // namespace lw52
