#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QUiLoader>
#include <functional>
#include <memory>

#include "QvCheckButton.h"
#include "QvProgress.h"
#include "QvProgressEX.h"
#include "QvProgressEX1.h"
#include "QvRadioButton.h"
#include "QvRotaryKnob.h"
#include "QvSlider.h"
#include "QvTheme.h"
#include "QvWidgetFactory.h"

namespace {

bool Near(QRgb pixel, const QColor& color) {
    const int tolerance = 10;
    return std::abs(qRed(pixel) - color.red()) <= tolerance &&
           std::abs(qGreen(pixel) - color.green()) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue()) <= tolerance && qAlpha(pixel) == 255;
}

int CountNear(const QImage& image, const QColor& color) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) count += Near(argb.pixel(x, y), color);
    }
    return count;
}

// Paints the widget on a panel-coloured image at a device pixel ratio.
QImage Render(QWidget& widget, qreal ratio) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(qvtheme::Panel());
    widget.render(&image);
    return image;
}

struct Sample {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    QColor value;  // the colour the widget shows its value in
};

std::vector<Sample> Samples() {
    return {
        {"knob as in the main layout",
         [] {
             auto knob = std::make_unique<QvRotaryKnob>();
             knob->resize(70, 70);
             knob->setIncludedAngle(70);
             knob->setFgRadius(32);
             knob->setDotRadius(25);
             knob->setSlashSkin(QStringLiteral("pointer"));
             knob->setPointerSize(QSize(4, 24));
             knob->setPoniterOffset(QPoint(-2, 0));
             knob->setRange(0, 100);
             knob->setValue(60);
             return knob;
         },
         QColor(0, 246, 255)},
        {"slider",
         [] {
             auto slider = std::make_unique<QvSlider>();
             slider->resize(160, 20);
             slider->setValue(60);
             return slider;
         },
         qvtheme::Accent()},
        {"progress",
         [] {
             auto bar = std::make_unique<QvProgress>();
             bar->resize(160, 8);
             bar->setValue(60);
             return bar;
         },
         qvtheme::Accent()},
        {"progress EX",
         [] {
             auto bar = std::make_unique<QvProgressEX>();
             bar->resize(160, 8);
             bar->setValue(60);
             return bar;
         },
         qvtheme::Accent()},
        {"level meter",
         [] {
             auto meter = std::make_unique<QvProgressEX1>();
             meter->resize(10, 90);
             meter->setOrientation(Qt::Vertical);
             meter->setRange(0, 90);
             meter->setValue(60);
             return meter;
         },
         qvtheme::Accent()},
        {"check button, checked",
         [] {
             auto button = std::make_unique<QvCheckButton>();
             button->setText(QStringLiteral("话筒静音"));
             button->resize(button->sizeHint());
             button->setChecked(true);
             return button;
         },
         qvtheme::Accent()},
        {"radio button, checked",
         [] {
             auto button = std::make_unique<QvRadioButton>();
             button->setText(QStringLiteral("C"));
             button->resize(button->sizeHint());
             button->setChecked(true);
             return button;
         },
         qvtheme::Accent()},
    };
}

TEST(WidgetLookTest, EveryWidgetDrawsItsValueInTheAccentAtOneAndTwoPixelsPerPoint) {
    for (const Sample& sample : Samples()) {
        SCOPED_TRACE(sample.name);
        auto widget = sample.make();
        const QImage grabbed = widget->grab().toImage();
        ASSERT_EQ(grabbed.size(), widget->size());
        EXPECT_GE(CountNear(grabbed, sample.value), 8);

        const QImage sharp = Render(*widget, 2);
        ASSERT_EQ(sharp.size(), widget->size() * 2);
        EXPECT_GE(CountNear(sharp, sample.value), 4 * 8);
    }
}

TEST(WidgetLookTest, KnobLightsTheRingFromTheStartOfTheDialToTheValue) {
    QvRotaryKnob knob;
    knob.resize(80, 80);
    knob.setIncludedAngle(70);
    knob.setFgRadius(32);
    knob.setRange(0, 100);
    knob.setValue(50);  // 145 degrees from 125: lit from lower left round to straight up
    const QImage image = Render(knob, 1);
    const QColor lit = knob.colorCircle();
    EXPECT_TRUE(Near(image.pixel(40 - 29, 40), lit)) << "left";
    EXPECT_TRUE(Near(image.pixel(30, 13), lit)) << "250 degrees, short of the end at 270";
    EXPECT_FALSE(Near(image.pixel(40 + 29, 40), lit)) << "right";
    EXPECT_FALSE(Near(image.pixel(40, 40 + 29), lit)) << "the gap";
    EXPECT_FALSE(Near(image.pixel(40 - 12, 40), lit)) << "the face covers the middle";

    knob.setFgPaintArc(0);
    EXPECT_EQ(CountNear(Render(knob, 1), lit), 0);
}

// The layout loader creates our widgets by class name and sets attributes by name.
class Loader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (QWidget* ours = CreateQvWidget(className, parent, name)) return ours;
        return QUiLoader::createWidget(className, parent, name);
    }
};

const char kForm[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>page</class>
 <widget class="QWidget" name="page">
  <widget class="QvRotaryKnob" name="knob_mic">
   <property name="id" stdset="0"><number>8000</number></property>
   <property name="includedAngle"><double>70</double></property>
   <property name="fgRadius"><number>32</number></property>
   <property name="dotRadius"><number>25</number></property>
   <property name="colorCircle"><color><red>33</red><green>184</green><blue>188</blue></color></property>
   <property name="slashSkin"><string>IMG.Bitmap:png_Rotray_pointer</string></property>
   <property name="pointerSize"><size><width>4</width><height>24</height></size></property>
   <property name="poniterOffset"><point><x>-2</x><y>0</y></point></property>
  </widget>
  <widget class="QvSlider" name="slider_eq1">
   <property name="orientation"><enum>Qt::Vertical</enum></property>
   <property name="maximum"><number>240</number></property>
   <property name="SelectPosDeflate"><number>1</number></property>
   <property name="thumbInRail-x" stdset="0"><number>3</number></property>
   <property name="showPercent"><bool>true</bool></property>
   <property name="delta"><number>-120</number></property>
  </widget>
  <widget class="QvProgressEX1" name="meter_mic">
   <property name="orientation"><enum>Qt::Vertical</enum></property>
   <property name="maximum"><number>90</number></property>
   <property name="DeclineSpeed"><number>9</number></property>
   <property name="SkinPosMid"><string>skin_LevelMeter_pos_mid2x</string></property>
  </widget>
  <widget class="QvProgressEX" name="channel_volume"/>
  <widget class="QvProgress" name="progress_eff_download"/>
  <widget class="QvCheckButton" name="check_mute">
   <property name="multitext"><string>1</string></property>
   <property name="text1"><string>静音</string></property>
   <property name="text2"><string>已静音</string></property>
  </widget>
  <widget class="QvRadioButton" name="btn_effect">
   <property name="autoCheck"><number>0</number></property>
  </widget>
 </widget>
</ui>
)";

TEST(WidgetLookTest, LayoutsCreateTheWidgetsAndSetTheirAttributesByName) {
    QByteArray form(kForm);
    QBuffer buffer(&form);
    Loader loader;
    std::unique_ptr<QWidget> page(loader.load(&buffer));
    ASSERT_NE(page, nullptr) << loader.errorString().toStdString();

    auto* knob = page->findChild<QvRotaryKnob*>("knob_mic");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->property("id").toInt(), 8000);
    EXPECT_EQ(knob->includedAngle(), 70);
    EXPECT_EQ(knob->fgRadius(), 32);
    EXPECT_EQ(knob->dotRadius(), 25);
    EXPECT_EQ(knob->colorCircle(), qvtheme::Accent());
    EXPECT_EQ(knob->slashSkin(), QStringLiteral("IMG.Bitmap:png_Rotray_pointer"));
    EXPECT_EQ(knob->pointerSize(), QSize(4, 24));
    EXPECT_EQ(knob->poniterOffset(), QPoint(-2, 0));

    auto* slider = page->findChild<QvSlider*>("slider_eq1");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->orientation(), Qt::Vertical);
    EXPECT_EQ(slider->maximum(), 240);
    EXPECT_EQ(slider->selectPosDeflate(), 1);
    EXPECT_EQ(slider->thumbInRailX(), 3);
    EXPECT_TRUE(slider->showPercent());
    EXPECT_EQ(slider->delta(), -120);

    auto* meter = page->findChild<QvProgressEX1*>("meter_mic");
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->orientation(), Qt::Vertical);
    EXPECT_EQ(meter->maximum(), 90);
    EXPECT_EQ(meter->declineSpeed(), 9);
    EXPECT_EQ(meter->skinPosMid(), QStringLiteral("skin_LevelMeter_pos_mid2x"));

    EXPECT_NE(page->findChild<QvProgressEX*>("channel_volume"), nullptr);
    EXPECT_NE(page->findChild<QvProgress*>("progress_eff_download"), nullptr);

    auto* mute = page->findChild<QvCheckButton*>("check_mute");
    ASSERT_NE(mute, nullptr);
    EXPECT_EQ(mute->text(), QStringLiteral("静音"));

    auto* effect = page->findChild<QvRadioButton*>("btn_effect");
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->property("autoCheck").toInt(), 0);
}

}  // namespace
