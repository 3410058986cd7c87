#pragma once

// How the tree items look under the program's theme, for the tests of the library tree and the
// cloud tree. The test program must carry the program's resources.
#include <QFile>
#include <QImage>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

// Gives root and everything under it the program's theme; false when it is not among the
// resources.
inline bool ApplyProgramTheme(QWidget& root) {
    QFile theme(":/theme/dark.qss");
    if (!theme.open(QIODevice::ReadOnly)) return false;
    root.setStyleSheet(QString::fromUtf8(theme.readAll()));
    return true;
}

// A control of an item as the tree shows it: its pixels, how many of them stand out from the
// tree's own background and how many are near-white.
struct ItemLook {
    QImage image;
    int inked = 0;
    int white = 0;
    int total = 0;

    // A picture rather than nothing or a blank face.
    bool ShowsAPicture() const { return inked >= total / 8 && white <= total / 10; }
};

inline ItemLook LookOf(QTreeWidget* tree, const QWidget* control) {
    const QImage shown = tree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The bottom right corner of the tree holds no item in these tests.
    const QColor background = shown.pixelColor(shown.width() - 2, shown.height() - 2);
    ItemLook look;
    look.image = shown.copy(QRect(control->mapTo(tree->viewport(), QPoint(0, 0)), control->size()));
    for (int y = 0; y < look.image.height(); ++y)
        for (int x = 0; x < look.image.width(); ++x) {
            const QColor c = look.image.pixelColor(x, y);
            ++look.total;
            if (std::min({c.red(), c.green(), c.blue()}) >= 200) ++look.white;
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) >
                60)
                ++look.inked;
        }
    return look;
}
