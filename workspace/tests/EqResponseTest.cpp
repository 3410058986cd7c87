// The equaliser's response engine and plot geometry: what the curve shows for given gains.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "EqPlot.h"
#include "EqResponse.h"

namespace {

using lw52::EqBand;
using lw52::EqResponse;
using lw52::kEqPoints;

EqResponse CardEq(double zeroXFreq = 20) {
    EqResponse eq(zeroXFreq);
    lw52::AddCardEqBands(eq);
    return eq;
}

int ArgMax(const std::vector<double>& v) {
    return static_cast<int>(std::max_element(v.begin(), v.end()) - v.begin());
}

bool AllZero(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return x == 0.0; });
}

// Expected values worked out apart from this code, from the textbook biquad formulas:
// normalised by a0 and halved.
TEST(EqCoefficients, EveryBandTypeAt1kHz) {
    struct Case {
        int type;
        double b0, b1, b2, a1, a2;
    } cases[] = {
        {1, 0.521796736264, -0.892736670485, 0.38184066321, -0.895455381876, 0.400918688082},
        {2, 0.530525539609, -0.930627951237, 0.408132763533, -0.930627951237, 0.438658303143},
        {3, 0.955957644185, -1.71203483466, 0.766522569138, -0.855444858545, 0.365890237206},
        {4, 0.00195806333028, 0.00391612666055, 0.00195806333028, -0.907670541354, 0.415502794675},
        {5, 0.455793334007, -0.911586668014, 0.455793334007, -0.907670541354, 0.415502794675},
        {6, 0.00203703435994, 0.00407406871988, 0.00203703435994, -0.944277976944, 0.452426114384},
        {7, 0.474176022832, -0.948352045664, 0.474176022832, -0.944277976944, 0.452426114384},
        {8, 0.00192157207409, 0.00384314414819, 0.00192157207409, -0.890754827882, 0.398441116178},
        {9, 0.447298986015, -0.89459797203, 0.447298986015, -0.890754827882, 0.398441116178},
    };
    for (const Case& c : cases) {
        EqBand band;
        band.type = c.type;
        band.freq = 1000;
        band.gain = 6;
        band.q = 0.707;
        lw52::ComputeCoefficients(band);
        SCOPED_TRACE("type " + std::to_string(c.type));
        EXPECT_NEAR(band.b0, c.b0, 1e-11);
        EXPECT_NEAR(band.b1, c.b1, 1e-11);
        EXPECT_NEAR(band.b2, c.b2, 1e-11);
        EXPECT_DOUBLE_EQ(band.a0, 0.5);
        EXPECT_NEAR(band.a1, c.a1, 1e-11);
        EXPECT_NEAR(band.a2, c.a2, 1e-11);
    }
}

TEST(EqCoefficients, PassThroughCases) {
    struct Case {
        const char* what;
        int type;
        double freq, gain;
    } cases[] = {
        {"type 0", 0, 1000, 6},
        {"low shelf at 0 dB", 1, 1000, 0},
        {"peaking at 0 dB", 2, 1000, 0},
        {"high shelf at 0 dB", 3, 1000, 0},
        {"low-pass above 22 kHz", 4, 23000, 6},
        {"high-pass below 20 Hz", 5, 19.9, 6},
        {"low-pass just above 22 kHz", 8, 22000.5, 6},
    };
    for (const Case& c : cases) {
        EqBand band;
        band.type = c.type;
        band.freq = c.freq;
        band.gain = c.gain;
        band.q = 1;
        band.b1 = band.a2 = 0.25;  // stale values must go
        lw52::ComputeCoefficients(band);
        EXPECT_TRUE(band.b0 == 0.5 && band.b1 == 0 && band.b2 == 0 && band.a0 == 0.5 &&
                    band.a1 == 0 && band.a2 == 0)
            << c.what;
    }
    // Filters at the edges of their range still filter.
    EqBand edge;
    edge.type = 4;
    edge.freq = 22000;
    lw52::ComputeCoefficients(edge);
    EXPECT_NE(edge.a1, 0.0);
}

TEST(EqCoefficients, TypeTenKeepsThePreviousOnes) {
    EqResponse eq;
    ASSERT_EQ(eq.AddBand(lw52::kEqPeaking, 1000, 6, 0.707), 1);
    eq.Refresh();
    const EqBand before = eq.Band(0);
    EXPECT_EQ(eq.SetBand(0, lw52::kEqKeepCoefficients, lw52::kEqType), 1);
    EXPECT_EQ(eq.SetBand(0, 4000, lw52::kEqFreq), 1);
    const EqBand& after = eq.Band(0);
    EXPECT_EQ(after.freq, 4000);
    EXPECT_EQ(after.b0, before.b0);
    EXPECT_EQ(after.a1, before.a1);
    EXPECT_EQ(after.response, before.response);  // still the 1 kHz bell
}

TEST(EqAxis, LogarithmicFromTheLeftEdgeToJustBelowNyquist) {
    for (double zero : {10.0, 20.0}) {
        const lw52::EqAxis axis(zero);
        EXPECT_NEAR(axis.Freq(0), zero, 1e-9);
        EXPECT_LT(axis.Freq(kEqPoints - 1), 24000.0);
        EXPECT_GT(axis.Freq(kEqPoints - 1), 23800.0);
        // One more step would land exactly on 24 kHz.
        const double ratio = axis.Freq(1) / axis.Freq(0);
        EXPECT_NEAR(axis.Freq(kEqPoints - 1) * ratio, 24000.0, 1e-6);
        EXPECT_NEAR(axis.Freq(600) / axis.Freq(599), ratio, 1e-12);
    }
}

TEST(EqResponse, CardBandsAtZeroAreFlat) {
    EqResponse eq = CardEq();
    ASSERT_EQ(eq.BandCount(), lw52::kCardEqBands);
    for (int k = 0; k < lw52::kCardEqBands; ++k) {
        EXPECT_EQ(eq.Band(k).type, lw52::kEqPeaking);
        EXPECT_EQ(eq.Band(k).freq, lw52::kCardEqFreqs[static_cast<size_t>(k)]);
        EXPECT_EQ(eq.Band(k).q, 1.7);
        eq.SetBand(k, lw52::CardEqGainDb(120), lw52::kEqGain);
    }
    EXPECT_TRUE(AllZero(eq.MainSum()));
    EXPECT_EQ(eq.Largest(), 0.0);
    EXPECT_EQ(eq.CurrentBand(), -1);
    EXPECT_FALSE(eq.HasSecondCurve());
}

TEST(EqResponse, FullBoostAt800HzPeaksThereAndCanBeUndone) {
    EqResponse eq = CardEq();
    EXPECT_EQ(eq.SetBand(5, lw52::CardEqGainDb(240), lw52::kEqGain), 1);
    EXPECT_EQ(eq.CurrentBand(), 5);
    EXPECT_NEAR(eq.Largest(), 12.0, 0.02);
    EXPECT_LE(eq.Largest(), 12.0);
    const int peak = ArgMax(eq.MainSum());
    EXPECT_NEAR(eq.Axis().Freq(peak), 800.0, 8.0);
    EXPECT_EQ(eq.MainSum(), eq.Band(5).response);  // the other nine add nothing
    EXPECT_LT(eq.MainSum()[0], 0.1);
    EXPECT_LT(eq.MainSum()[kEqPoints - 1], 0.1);
    // Half-way down the bell is an octave or so either side.
    EXPECT_GT(
        eq.MainSum()[static_cast<size_t>(peak)] - eq.MainSum()[static_cast<size_t>(peak - 150)],
        6.0);

    EXPECT_EQ(eq.SetBand(5, lw52::CardEqGainDb(120), lw52::kEqGain), 1);
    EXPECT_EQ(eq.CurrentBand(), -1);
    EXPECT_TRUE(AllZero(eq.MainSum()));
    EXPECT_EQ(eq.SetBand(5, 0.0, lw52::kEqGain), 0) << "flat before and after";
}

TEST(EqResponse, GainsInsideTheThresholdContributeNothing) {
    EqResponse eq = CardEq();
    EXPECT_EQ(eq.SetBand(2, 0.005, lw52::kEqGain), 0);
    EXPECT_EQ(eq.CurrentBand(), -1);
    EXPECT_TRUE(AllZero(eq.MainSum()));

    // From a boost down to 0.005 dB: redraw, but nothing is left of the band.
    ASSERT_EQ(eq.SetBand(2, 3.0, lw52::kEqGain), 1);
    EXPECT_EQ(eq.SetBand(2, 0.005, lw52::kEqGain), 1);
    EXPECT_EQ(eq.CurrentBand(), -1);
    EXPECT_TRUE(AllZero(eq.MainSum()));
    EXPECT_TRUE(AllZero(eq.Band(2).response));

    // Moving a flat band is not a change either.
    EXPECT_EQ(eq.SetBand(2, 300, lw52::kEqFreq), 0);

    // Below 0.001 dB a response is zero whatever the band's type, even a low-pass.
    EqBand lowPass;
    lowPass.type = 4;
    lowPass.freq = 1000;
    lowPass.gain = 0.0005;
    lw52::ComputeCoefficients(lowPass);
    lw52::ComputeResponse(lowPass, eq.Axis());
    EXPECT_TRUE(AllZero(lowPass.response));
    lowPass.gain = 1;  // gain only switches it on
    lw52::ComputeResponse(lowPass, eq.Axis());
    EXPECT_LT(lowPass.response[kEqPoints - 100], -40.0);
    EXPECT_NEAR(lowPass.response[0], 0.0, 1e-6);
}

TEST(EqResponse, SumsFollowEveryChange) {
    EqResponse eq = CardEq();
    eq.SetBand(3, 6.0, lw52::kEqGain);
    eq.SetBand(8, -4.5, lw52::kEqGain);
    EXPECT_EQ(eq.CurrentBand(), 8);
    for (size_t i = 0; i < kEqPoints; i += 97)
        EXPECT_DOUBLE_EQ(eq.MainSum()[i], eq.Band(3).response[i] + eq.Band(8).response[i]);
    EXPECT_EQ(eq.Largest(), *std::max_element(eq.MainSum().begin(), eq.MainSum().end()));

    // Frequency and Q changes of a boosted band move its bell.
    const int before = ArgMax(eq.MainSum());
    EXPECT_EQ(eq.SetBand(3, 2000, lw52::kEqFreq), 1);
    EXPECT_NEAR(eq.Axis().Freq(ArgMax(eq.MainSum())), 2000, 20);
    EXPECT_GT(ArgMax(eq.MainSum()), before);
    const double wideAt1k = eq.Band(3).response[static_cast<size_t>(ArgMax(eq.MainSum()) - 100)];
    EXPECT_EQ(eq.SetBand(3, 4.0, lw52::kEqQ), 1);
    EXPECT_LT(eq.Band(3).response[static_cast<size_t>(ArgMax(eq.MainSum()) - 100)], wideAt1k);

    // Extra filters: slots 0 and 1 add to the main curve, 2 and 3 make a second one.
    const std::vector<double> bandsOnly = eq.MainSum();
    ASSERT_EQ(eq.SetExtraFilter(2, lw52::kEqHighShelf, 8000, 9.0, 0.7), 1);
    EXPECT_TRUE(eq.HasSecondCurve());
    EXPECT_TRUE(eq.CurrentIsExtraFilter());
    EXPECT_EQ(eq.CurrentBand(), -1);
    EXPECT_EQ(eq.MainSum(), bandsOnly);
    EXPECT_GT(eq.SecondSum()[kEqPoints - 1], bandsOnly[kEqPoints - 1] + 8.0);
    // The second curve is the bands plus its filter: the bell at 2 kHz is on it as well.
    const auto bell = static_cast<size_t>(ArgMax(bandsOnly));
    EXPECT_GT(eq.SecondSum()[bell], bandsOnly[bell]);
    EXPECT_GT(eq.SecondSum()[bell], 5.0);
    EXPECT_GT(eq.Largest(), 8.0);
    ASSERT_EQ(eq.SetExtraFilter(0, lw52::kEqLowShelf, 100, -3.0, 0.7), 1);
    EXPECT_LT(eq.MainSum()[0], bandsOnly[0] - 2.5);
    eq.ClearExtraFilter(2);
    eq.ClearExtraFilter(0);
    EXPECT_FALSE(eq.HasSecondCurve());
    EXPECT_EQ(eq.CurrentFilter(), nullptr);
    EXPECT_EQ(eq.MainSum(), bandsOnly);
}

TEST(EqResponse, RefusesWhatItCannotHold) {
    EqResponse eq = CardEq();
    struct Case {
        int index;
        double value;
        int what;
    } refused[] = {
        {-1, 3, lw52::kEqGain}, {10, 3, lw52::kEqGain}, {0, 3, 4},
        {0, 11, lw52::kEqType}, {0, -1, lw52::kEqType},
    };
    eq.SetBand(1, 5.0, lw52::kEqGain);
    const std::vector<double> before = eq.MainSum();
    for (const Case& c : refused) {
        EXPECT_EQ(eq.SetBand(c.index, c.value, c.what), 0) << c.index << " " << c.what;
        EXPECT_EQ(eq.CurrentBand(), 1);
    }
    EXPECT_EQ(eq.MainSum(), before);
    EXPECT_EQ(eq.AddBand(11, 100, 0, 1), 0);
    while (eq.BandCount() < lw52::kEqMaxBands) ASSERT_EQ(eq.AddBand(2, 100, 0, 1), 1);
    EXPECT_EQ(eq.AddBand(2, 100, 0, 1), 0);
    EXPECT_EQ(eq.BandCount(), 31);
}

TEST(EqResponse, RefreshComputesEveryBandThatIsNotFlat) {
    EqResponse eq(20);
    ASSERT_EQ(eq.AddBand(lw52::kEqPeaking, 500, 0.2, 1), 1);
    ASSERT_EQ(eq.AddBand(lw52::kEqPeaking, 2000, 0.005, 1), 1);
    ASSERT_EQ(eq.AddBand(lw52::kEqLowShelf, 100, -0.01, 1), 1);
    EXPECT_TRUE(AllZero(eq.Band(0).response)) << "a new band starts flat";
    EXPECT_TRUE(AllZero(eq.MainSum()));
    eq.Refresh();
    EXPECT_NEAR(eq.Largest(), 0.2, 0.01);
    EXPECT_NEAR(eq.Axis().Freq(ArgMax(eq.MainSum())), 500, 5);
    EXPECT_TRUE(AllZero(eq.Band(1).response));
    EXPECT_LT(eq.Band(2).response[0], -0.009);  // 0.01 dB is not flat here
    EXPECT_EQ(eq.CurrentBand(), -1) << "only SetBand makes a band current";
}

TEST(EqResponse, LeftEdgeIsClampedAndRebuildsTheCurve) {
    EqResponse eq = CardEq(10);
    eq.SetBand(5, 12.0, lw52::kEqGain);
    for (auto [asked, used] : {std::pair{5.0, 10.0}, {30.0, 20.0}, {15.0, 15.0}}) {
        eq.SetZeroXFreq(asked);
        EXPECT_EQ(eq.Axis().ZeroXFreq(), used);
        EXPECT_NEAR(eq.Axis().Freq(ArgMax(eq.MainSum())), 800.0, 8.0) << asked;
    }
}

TEST(EqPlot, MetricsOfTheDefaultLayout) {
    const lw52::EqPlotLayout layout;  // 36/18/0/16, +-12 dB, 4 rows, zeroXFreq 10
    const lw52::EqPlotMetrics m(layout, 0, 0, 400, 200);
    EXPECT_EQ(m.rowHeight, 41);
    EXPECT_EQ(m.spare, 2);
    EXPECT_EQ(m.plotWidth, 364);
    EXPECT_EQ(m.plotHeight, 164);
    EXPECT_EQ(m.XOfFreq(10), 36);
    EXPECT_EQ(m.XOfFreq(24000), 400);
    EXPECT_EQ(m.XOfFreq(1000), 251);  // two decades of 107.69 px: 215.37 to nearest
    EXPECT_EQ(m.YOfLevel(12), 18);
    EXPECT_EQ(m.YOfLevel(0), 100);
    EXPECT_EQ(m.YOfLevel(-12), 182);
    EXPECT_EQ(m.YOfLevel(0.1), 99);    // 99.3 to nearest
    EXPECT_EQ(m.YOfLevel(0.05), 100);  // 99.66 to nearest
    EXPECT_EQ(m.ZeroY(), 100);
    EXPECT_DOUBLE_EQ(m.PointX(512), 218.0);
    EXPECT_DOUBLE_EQ(m.CurveY(6), 59.0);  // 41 px for 6 dB
    EXPECT_NEAR(m.FreqAtX(m.XOfFreq(800)), 800, 800 * 0.02);
    EXPECT_DOUBLE_EQ(m.LevelAtY(18), 12);
    EXPECT_NEAR(m.LevelAtY(0), 14.634146, 1e-6);

    // The shaded band never reaches below the plot; it closes along 0 dB, an extra
    // filter's along the bottom line.
    EXPECT_EQ(m.ShadeY(-40), m.PlotBottom());
    EXPECT_EQ(m.ShadeY(3), m.CurveY(3));
    EXPECT_EQ(m.ShadeBase(false), 100);
    EXPECT_EQ(m.ShadeBase(true), 182);

    // An odd dB range: the zero line is truncated, not rounded.
    lw52::EqPlotLayout odd = layout;
    odd.dbMax = 5;
    odd.dbMin = -13;
    const lw52::EqPlotMetrics mo(odd, 0, 0, 400, 200);
    EXPECT_EQ(mo.ZeroY(), 18 + 45);  // 45.6
}

TEST(EqPlot, GridLinesAndLabels) {
    lw52::EqPlotLayout layout;
    layout.zeroXFreq = 20;
    const lw52::EqPlotMetrics m(layout, 0, 0, 400, 200);
    std::vector<std::string> labels;
    std::vector<int> ys;
    for (const auto& row : lw52::EqGridRows(m)) {
        labels.push_back(row.label);
        ys.push_back(row.y);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"12dB", "6dB", "0dB", "-6dB", "-12dB"}));
    EXPECT_EQ(ys, (std::vector<int>{18, 59, 100, 141, 182}));

    layout.dbKeduVal = 12;
    labels.clear();
    for (const auto& row : lw52::EqGridRows(lw52::EqPlotMetrics(layout, 0, 0, 400, 200)))
        labels.push_back(row.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"12dB", "", "0dB", "", "-12dB"}));

    const auto columns = lw52::EqGridColumns(m);
    ASSERT_EQ(columns.size(), 29u);
    EXPECT_EQ(columns.front().freq, 20);  // the first line is the left edge
    EXPECT_EQ(columns.front().x, 36);
    std::vector<std::string> freqLabels;
    for (const auto& c : columns) {
        EXPECT_EQ(c.top, 18);
        EXPECT_EQ(c.bottom, 198);
        EXPECT_EQ(c.x, m.XOfFreq(c.freq));
        if (!c.label.empty()) freqLabels.push_back(c.label);
    }
    EXPECT_EQ(freqLabels, (std::vector<std::string>{"20Hz", "50Hz", "100Hz", "200Hz", "500Hz",
                                                    "1kHz", "2kHz", "5kHz", "10kHz", "20kHz"}));
}

}  // namespace
