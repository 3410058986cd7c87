// The equaliser curve widget as the layouts build it and as the effects page drives it:
// what it draws for given gains, and what dragging a band point does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QUiLoader>
#include <cmath>
#include <memory>
#include <set>

#include "EqResponse.h"
#include "PointerEvents.h"
#include "QvEQ.h"
#include "QvEqCurve.h"
#include "QvEqGrid.h"
#include "QvWidgetFactory.h"
#include "SMoveThumb.h"

namespace {

// Built the way the layout loader builds it: by class name, parent first, then attributes.
struct Eq {
    std::unique_ptr<QvEQ> eq;
    QvEqCurve* curve = nullptr;
    std::vector<SMoveThumb*> thumbs;

    Eq(bool withGridAndThumbs, std::initializer_list<std::pair<const char*, QVariant>> attrs,
       QSize size = QSize(400, 200)) {
        eq.reset(qobject_cast<QvEQ*>(CreateQvWidget("QvEQ", nullptr, "eq_curve")));
        if (withGridAndThumbs) CreateQvWidget("QvEqGrid", eq.get(), "grid");
        curve = qobject_cast<QvEqCurve*>(CreateQvWidget("QvEqCurve", eq.get(), "curve"));
        if (withGridAndThumbs) {
            for (int i = 0; i <= lw52::kCardEqBands; ++i) {  // one more than there are bands
                auto* thumb = qobject_cast<SMoveThumb*>(
                    CreateQvWidget("SMoveThumb", eq.get(), QString("thumb%1").arg(i)));
                thumb->setProperty("id", i);
                thumb->resize(10, 10);
                thumbs.push_back(thumb);
            }
        }
        for (const auto& [name, value] : attrs) eq->setProperty(name, value);
        eq->resize(size);
        // As the effects page sets it up.
        for (double freq : lw52::kCardEqFreqs)
            eq->AddBand(lw52::kEqPeaking, freq, 0.0, lw52::kCardEqQ);
        eq->Refresh();
        eq->show();
    }

    void SetRaw(int band, int raw) {
        eq->SetBandGain(band, lw52::CardEqGainDb(raw));
        eq->Redraw();
    }

    QImage Render(qreal dpr) const {
        QImage image(eq->size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::magenta);
        eq->render(&image);
        return image;
    }
};

// The main window's attributes: no margins, +-12 dB, left edge 20 Hz; 10 pixels per dB.
Eq MainWindowEq() {
    return Eq(false,
              {{"ldist", 0},
               {"tdist", 0},
               {"rdist", 0},
               {"bdist", 0},
               {"dbMax", 12},
               {"dbMin", -12},
               {"nKedu", 4},
               {"dbKeduVal", 6},
               {"zeroXFreq", 20}},
              QSize(400, 240));
}

bool Near(QColor a, QColor b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Drags a handle so that its centre would land on target (parent coordinates).
void Drag(SMoveThumb* thumb, QPoint target) {
    const QPoint grab(thumb->width() / 2, thumb->height() / 2);
    pointer::Press(*thumb, grab);
    pointer::Drag(*thumb, thumb->mapFromParent(target));
    pointer::Release(*thumb, thumb->mapFromParent(target));
}

TEST(QvEqTest, LayoutAttributesAreProperties) {
    Eq eq(true, {});
    struct Case {
        QObject* object;
        const char* name;
        QVariant value;
    } cases[] = {
        {eq.eq.get(), "ldist", 5},
        {eq.eq.get(), "tdist", 6},
        {eq.eq.get(), "rdist", 7},
        {eq.eq.get(), "bdist", 8},
        {eq.eq.get(), "dbMax", 18},
        {eq.eq.get(), "dbMin", -18},
        {eq.eq.get(), "nKedu", 6},
        {eq.eq.get(), "dbKeduVal", 3},
        {eq.eq.get(), "zeroXFreq", 15},
        {eq.eq.get(), "minFreq", 25.5},
        {eq.eq.get(), "maxFreq", 18000.0},
        {eq.eq.get(), "hpfOffFreq", 12.0},
        {eq.eq.get(), "lpfOffFreq", 22500.0},
        {eq.eq.get(), "lpfOffFreqMax", 1.0},
        {eq.curve, "colorLine", QColor(0x0e, 0xac, 0xac)},
        {eq.curve, "colorCurrLine", QColor(0x80, 0x80, 0x80, 0x50)},
        {eq.curve, "lineWidth", 1},
        {eq.thumbs[0], "id", -2},
        {eq.thumbs[0], "centerColor", QColor(10, 20, 30)},
        {eq.thumbs[0], "xFloat", 0.25},
        {eq.thumbs[0], "yFloat", 0.75},
        {eq.thumbs[0], "canXMove", false},
        {eq.thumbs[0], "canYMove", false},
        {eq.thumbs[0], "canOutsize", true},
    };
    for (const Case& c : cases) {
        // setProperty is true only for a declared property, never for a dynamic one.
        EXPECT_TRUE(c.object->setProperty(c.name, c.value)) << c.name;
        EXPECT_EQ(c.object->property(c.name), c.value) << c.name;
    }
    // The left edge of the plot stays within 10..20 Hz.
    for (auto [asked, used] : {std::pair{5, 10}, {30, 20}, {12, 12}}) {
        eq.eq->setProperty("zeroXFreq", asked);
        EXPECT_EQ(eq.eq->ZeroXFreq(), used);
        EXPECT_EQ(eq.eq->Response().Axis().ZeroXFreq(), used);
        EXPECT_EQ(eq.eq->Metrics().layout.zeroXFreq, used);
    }
    EXPECT_NE(eq.eq->Grid(), nullptr);
    EXPECT_EQ(eq.eq->Curve(), eq.curve);
}

TEST(QvEqTest, FlatCurveLiesOnTheZeroLineAndNothingIsShaded) {
    Eq eq = MainWindowEq();
    for (int k = 0; k < lw52::kCardEqBands; ++k) eq.SetRaw(k, 120);
    EXPECT_EQ(eq.eq->Response().CurrentBand(), -1);
    const lw52::EqPlotMetrics& m = eq.eq->Metrics();
    ASSERT_EQ(m.ZeroY(), 120);
    const QColor line = eq.curve->ColorLine(), back = eq.eq->ColorBack();

    // A 2-pixel line on 0 dB covers exactly two rows, 2 x dpr device rows, and nothing else
    // is drawn (the line's round ends aside).
    for (qreal dpr : {1.0, 2.0}) {
        const QImage image = eq.Render(dpr);
        const int zero = static_cast<int>(m.ZeroY() * dpr);
        const int half = static_cast<int>(dpr);  // half the line, in device pixels
        int stray = 0;
        for (int y = 0; y < image.height(); ++y) {
            const bool onLine = y >= zero - half && y < zero + half;
            for (int x = 3; x < image.width() - 3; ++x)
                if (image.pixelColor(x, y) != (onLine ? line : back)) ++stray;
        }
        EXPECT_EQ(stray, 0) << "dpr " << dpr;
    }
}

TEST(QvEqTest, BoostedBandIsShadedUntilItIsFlatAgain) {
    Eq eq = MainWindowEq();
    const lw52::EqPlotMetrics& m = eq.eq->Metrics();
    const QColor back = eq.eq->ColorBack();
    const int x800 = m.XOfFreq(800), x20k = m.XOfFreq(20000);

    eq.SetRaw(5, 240);
    EXPECT_EQ(eq.eq->Response().CurrentBand(), 5);
    QImage image = eq.Render(1);
    // The summed curve reaches the top at 800 Hz...
    int top = 0;
    while (top < image.height() && !Near(image.pixelColor(x800, top), eq.curve->ColorLine())) ++top;
    EXPECT_LE(top, 2);
    // ...and under it the band's bell is filled, down to the 0 dB line only.
    for (int y : {20, 60, 117}) {
        EXPECT_NE(image.pixelColor(x800, y), back) << y;
        EXPECT_TRUE(Near(image.pixelColor(x800, y), back, 40)) << "a faint fill, " << y;
    }
    EXPECT_EQ(image.pixelColor(x800, 130), back);
    EXPECT_EQ(image.pixelColor(x20k, 110), back);

    // A cut is shaded between 0 dB and the curve below it.
    eq.SetRaw(9, 60);  // -6 dB at 10 kHz
    EXPECT_EQ(eq.eq->Response().CurrentBand(), 9);
    image = eq.Render(1);
    EXPECT_NE(image.pixelColor(m.XOfFreq(10000), 150), back);
    EXPECT_EQ(image.pixelColor(x800, 60), back) << "only the current band is shaded";

    eq.SetRaw(9, 120);
    eq.SetRaw(5, 120);
    EXPECT_EQ(eq.eq->Response().CurrentBand(), -1);
    image = eq.Render(1);
    for (int y : {20, 60, 117, 150}) EXPECT_EQ(image.pixelColor(x800, y), back) << y;
}

TEST(QvEqTest, DraggingABandPointClampsAndReports) {
    Eq eq(true, {{"minFreq", 30.0}, {"maxFreq", 16000.0}});
    QvEQ& w = *eq.eq;
    const lw52::EqPlotMetrics& m = w.Metrics();
    EXPECT_TRUE(eq.thumbs[10]->isHidden()) << "no band 11";
    for (int k = 0; k < lw52::kCardEqBands; ++k) {
        EXPECT_FALSE(eq.thumbs[static_cast<size_t>(k)]->isHidden());
        EXPECT_EQ(eq.thumbs[static_cast<size_t>(k)]->geometry().center() + QPoint(1, 1),
                  QPoint(m.XOfFreq(lw52::kCardEqFreqs[static_cast<size_t>(k)]), m.YOfLevel(0)));
    }
    QSignalSpy spy(&w, &QvEQ::eqValueChanged);
    struct Case {
        const char* what;
        QPoint target;
        double gain, freq;
        double tolerance;  // relative, for the frequency
    } cases[] = {
        {"far above and left", {-80, -80}, 12, 30, 0},
        {"far below and right", {600, 400}, -12, 16000, 0},
        {"inside the plot", {m.XOfFreq(1500), m.YOfLevel(6)}, 6, 1500, 0.015},
        {"above the plot, inside the widget", {m.XOfFreq(2000), 2}, 12, 2000, 0.015},
    };
    for (const Case& c : cases) {
        spy.clear();
        Drag(eq.thumbs[5], c.target);
        ASSERT_EQ(spy.count(), 1) << c.what;
        const QList<QVariant> args = spy.takeFirst();
        EXPECT_EQ(args[0].toInt(), 5);
        EXPECT_NEAR(args[1].toDouble(), c.gain, 0.5 / m.pxPerDb) << c.what;
        EXPECT_NEAR(args[2].toDouble(), c.freq, c.freq * c.tolerance) << c.what;
        EXPECT_EQ(args[3].toInt(), 3);
        // The band follows, and its point sits where the band is.
        EXPECT_EQ(w.Response().Band(5).gain, args[1].toDouble());
        EXPECT_EQ(w.Response().Band(5).freq, args[2].toDouble());
        EXPECT_EQ(eq.thumbs[5]->geometry().center() + QPoint(1, 1),
                  QPoint(m.XOfFreq(args[2].toDouble()), m.YOfLevel(args[1].toDouble())));
    }
    EXPECT_EQ(w.Response().CurrentBand(), 5);
    EXPECT_NEAR(w.Response().Largest(), 12, 0.05);

    // A handle that may only move sideways keeps the gain.
    eq.thumbs[2]->setProperty("canYMove", false);
    Drag(eq.thumbs[2], {m.XOfFreq(300), 0});
    ASSERT_EQ(spy.count(), 1);
    EXPECT_NEAR(spy.takeFirst()[1].toDouble(), 0.0, 0.5 / m.pxPerDb);
    // The right button does not drag.
    pointer::Press(*eq.thumbs[3], {5, 5}, Qt::RightButton);
    pointer::Send(*eq.thumbs[3], QEvent::MouseMove, {40, 40}, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(spy.count(), 0);
}

TEST(QvEqTest, RendersCurveGridAndHandles) {
    Eq eq(true, {});
    eq.SetRaw(3, 180);
    eq.SetRaw(8, 75);
    const lw52::EqPlotMetrics& m = eq.eq->Metrics();
    const QImage image = eq.eq->grab().toImage();
    ASSERT_EQ(image.size(), QSize(400, 200));
    std::set<QRgb> colours;
    int curvePixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
            if (Near(image.pixelColor(x, y), eq.curve->ColorLine(), 8)) ++curvePixels;
        }
    }
    EXPECT_GT(colours.size(), 20u) << "curve, shading, grid, labels and handles";
    EXPECT_GT(curvePixels, 400);

    // Grid rows are one sharp pixel: take the +6 dB row where no vertical line crosses.
    std::set<int> columnXs;
    for (const auto& c : lw52::EqGridColumns(m)) columnXs.insert(c.x);
    int x = m.XOfFreq(12);
    while (columnXs.count(x) || columnXs.count(x + 1) || columnXs.count(x - 1)) ++x;
    const int row = lw52::EqGridRows(m)[1].y;
    const QColor back = eq.eq->ColorBack();
    EXPECT_NE(image.pixelColor(x, row), back);
    EXPECT_EQ(image.pixelColor(x, row - 1), back);
    EXPECT_EQ(image.pixelColor(x, row + 1), back);
    // The labels are drawn: text in the left margin and under the plot.
    auto inked = [&](QRect r) {
        for (int yy = r.top(); yy <= r.bottom(); ++yy)
            for (int xx = r.left(); xx <= r.right(); ++xx)
                if (image.pixelColor(xx, yy) != back) return true;
        return false;
    };
    EXPECT_TRUE(inked(QRect(2, row - 4, 30, 8))) << "6dB";
    EXPECT_TRUE(inked(QRect(m.XOfFreq(1000) - 10, static_cast<int>(m.PlotBottom()) + 6, 8, 8)))
        << "1kHz";
}

class Loader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (QWidget* ours = CreateQvWidget(className, parent, name)) return ours;
        return QUiLoader::createWidget(className, parent, name);
    }
};

// The main window's curve as its layout declares it (the child's geometry is the layout's,
// deliberately not the parent's).
const char kMainWindowForm[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <widget class="QWidget" name="page">
  <widget class="QvEQ" name="eq_curve">
   <property name="geometry"><rect><x>8</x><y>26</y><width>370</width><height>50</height></rect></property>
   <property name="ldist" stdset="0"><number>0</number></property>
   <property name="tdist" stdset="0"><number>0</number></property>
   <property name="rdist" stdset="0"><number>0</number></property>
   <property name="bdist" stdset="0"><number>0</number></property>
   <property name="dbMax" stdset="0"><number>12</number></property>
   <property name="dbMin" stdset="0"><number>-12</number></property>
   <property name="nKedu" stdset="0"><number>4</number></property>
   <property name="dbKeduVal" stdset="0"><number>6</number></property>
   <property name="zeroXFreq" stdset="0"><number>20</number></property>
   <widget class="QvEqCurve" name="eq_curve_line">
    <property name="geometry"><rect><x>3</x><y>4</y><width>100</width><height>20</height></rect></property>
    <property name="colorLine" stdset="0"><color alpha="255"><red>14</red><green>172</green><blue>172</blue></color></property>
    <property name="colorCurrLine" stdset="0"><color alpha="80"><red>128</red><green>128</green><blue>128</blue></color></property>
    <property name="lineWidth" stdset="0"><number>1</number></property>
   </widget>
  </widget>
 </widget>
</ui>
)";

TEST(QvEqTest, MainWindowLayoutBuildsAWorkingCurve) {
    QByteArray form(kMainWindowForm);
    QBuffer buffer(&form);
    Loader loader;
    std::unique_ptr<QWidget> page(loader.load(&buffer));
    ASSERT_NE(page, nullptr) << loader.errorString().toStdString();
    auto* eq = page->findChild<QvEQ*>("eq_curve");
    ASSERT_NE(eq, nullptr);
    ASSERT_NE(eq->Curve(), nullptr);
    EXPECT_EQ(eq->Curve()->objectName(), "eq_curve_line");
    EXPECT_EQ(eq->Curve()->geometry(), eq->rect()) << "the curve covers the whole widget";
    EXPECT_EQ(eq->Curve()->ColorLine(), QColor(14, 172, 172));
    EXPECT_EQ(eq->Curve()->LineWidth(), 1);
    EXPECT_EQ(eq->ZeroXFreq(), 20);
    EXPECT_EQ(eq->Metrics().plotWidth, 370);
    EXPECT_EQ(eq->Metrics().plotHeight, 48);  // 4 rows of 12, 2 pixels spare

    for (double freq : lw52::kCardEqFreqs) eq->AddBand(lw52::kEqPeaking, freq, 0, lw52::kCardEqQ);
    eq->Refresh();
    eq->SetBandGain(5, lw52::CardEqGainDb(240));
    eq->Redraw();
    page->show();
    const QImage image = eq->grab().toImage();
    const int x800 = eq->Metrics().XOfFreq(800);
    int top = 0;
    while (top < image.height() && !Near(image.pixelColor(x800, top), QColor(14, 172, 172))) ++top;
    EXPECT_LE(top, 2) << "+12 dB reaches the top";
    EXPECT_NE(image.pixelColor(x800, 15), eq->ColorBack()) << "shaded";
}

TEST(QvEqTest, CurveOutsideAnEqualiserDrawsNothing) {
    QWidget plain;
    plain.resize(100, 60);
    auto* curve = new QvEqCurve(&plain);
    curve->resize(100, 60);
    QImage image(100, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    curve->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.pixel(x, y), 0u);
}

}  // namespace
