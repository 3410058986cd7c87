#pragma once

#include <QRect>
#include <QSize>

// What the parts of a slider depend on: its size and direction, the sizes of the thumb and
// background images, the rail options and the value.
struct QvSliderLayout {
    QSize size;
    bool vertical = false;
    QSize thumb;             // thumb image size (empty: no thumb image)
    int bkgndThickness = 0;  // background image size across the rail
    bool thumbInRail = false;
    int selectPosDeflate = 0;
    int thumbInRailX = 0;
    int minimum = 0;
    int maximum = 100;
    int value = 0;
};

// The rectangles a slider draws and hit-tests, in widget coordinates.
struct QvSliderParts {
    QRect thumb;
    QRect filled;  // the part of the rail up to the thumb's centre
    QRect rail;    // where a click maps to a value
    QRect background;

    // Integer arithmetic throughout, so that a click and a drawn thumb agree to the pixel.
    static QvSliderParts compute(const QvSliderLayout& layout);
};
