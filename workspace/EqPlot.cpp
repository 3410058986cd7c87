#include "EqPlot.h"

#include <cmath>
#include <cstdio>

namespace lw52 {

namespace {

// Adds 0.5 and truncates, as every grid and handle position does.
int Nearest(double v) {
    return static_cast<int>(v + 0.5);
}

struct GridFreq {
    double freq;
    const char* label;
};
constexpr GridFreq kGridFreqs[] = {
    {10, nullptr},   {20, "20Hz"},    {30, nullptr},    {40, nullptr},    {50, "50Hz"},
    {60, nullptr},   {70, nullptr},   {80, nullptr},    {90, nullptr},    {100, "100Hz"},
    {200, "200Hz"},  {300, nullptr},  {400, nullptr},   {500, "500Hz"},   {600, nullptr},
    {700, nullptr},  {800, nullptr},  {900, nullptr},   {1000, "1kHz"},   {2000, "2kHz"},
    {3000, nullptr}, {4000, nullptr}, {5000, "5kHz"},   {6000, nullptr},  {7000, nullptr},
    {8000, nullptr}, {9000, nullptr}, {10000, "10kHz"}, {20000, "20kHz"},
};

}  // namespace

EqPlotMetrics::EqPlotMetrics(const EqPlotLayout& l, int left_, int top_, int right_, int bottom_)
    : layout(l), left(left_), top(top_), right(right_), bottom(bottom_) {
    if (layout.nKedu < 1) layout.nKedu = 1;
    rowHeight = (bottom - layout.bdist - top - layout.tdist) / layout.nKedu;
    spare = bottom - top - layout.tdist - layout.bdist - rowHeight * layout.nKedu;
    plotWidth = right - layout.rdist - layout.ldist - left;
    plotHeight = bottom - top - layout.bdist - layout.tdist - spare;
    pxPerDecade = plotWidth / (std::log10(kEqTopFreq) - std::log10(layout.zeroXFreq));
    pxPerPoint = static_cast<double>(plotWidth) / kEqPoints;
    const int range = layout.dbMax - layout.dbMin;
    pxPerDb = range != 0 ? static_cast<double>(plotHeight) / range : 0.0;
}

int EqPlotMetrics::XOfFreq(double freq) const {
    return left + layout.ldist +
           Nearest((std::log10(freq) - std::log10(layout.zeroXFreq)) * pxPerDecade);
}

int EqPlotMetrics::YOfLevel(double db) const {
    return top + layout.tdist + Nearest((layout.dbMax - db) * pxPerDb);
}

double EqPlotMetrics::FreqAtX(double x) const {
    if (pxPerDecade <= 0) return layout.zeroXFreq;
    return std::pow(10.0, (x - left - layout.ldist) / pxPerDecade + std::log10(layout.zeroXFreq));
}

double EqPlotMetrics::LevelAtY(double y) const {
    if (pxPerDb <= 0) return layout.dbMax;
    return layout.dbMax - (y - top - layout.tdist) / pxPerDb;
}

double EqPlotMetrics::ZeroY() const {
    return top + layout.tdist + std::trunc(layout.dbMax * pxPerDb);
}

double EqPlotMetrics::ShadeY(double db) const {
    const double y = CurveY(db);
    return y > PlotBottom() ? PlotBottom() : y;
}

std::vector<EqGridRow> EqGridRows(const EqPlotMetrics& m) {
    std::vector<EqGridRow> rows;
    const int levelStep = (m.layout.dbMax - m.layout.dbMin) / m.layout.nKedu;
    for (int k = 0; k <= m.layout.nKedu; ++k) {
        EqGridRow row{m.top + m.layout.tdist + k * m.rowHeight, m.layout.dbMax - k * levelStep, {}};
        if (m.layout.dbKeduVal != 0 && row.level % m.layout.dbKeduVal == 0) {
            char text[24];
            snprintf(text, sizeof text, "%ddB", row.level);
            row.label = text;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<EqGridColumn> EqGridColumns(const EqPlotMetrics& m) {
    std::vector<EqGridColumn> columns;
    bool first = true;
    for (const GridFreq& g : kGridFreqs) {
        const double freq = first ? m.layout.zeroXFreq : g.freq;
        first = false;
        columns.push_back({m.XOfFreq(freq), m.top + m.layout.tdist, m.bottom - m.spare, freq,
                           g.label ? g.label : ""});
    }
    return columns;
}

}  // namespace lw52
