#include "QvSliderParts.h"

#include <algorithm>

namespace {

// A span [from, to) along the rail and one across it, put together for the direction. A
// vertical slider measures `along` upwards from its bottom edge when `fromBottom` is set.
struct Span {
    int from;
    int to;
};

QRect Place(const QvSliderLayout& l, Span along, Span across, bool fromBottom) {
    const int length = l.vertical ? l.size.height() : l.size.width();
    if (l.vertical) {
        const int top = fromBottom ? length - along.to : along.from;
        const int bottom = fromBottom ? length - along.from : along.to;
        return QRect(across.from, top, std::max(0, across.to - across.from),
                     std::max(0, bottom - top));
    }
    return QRect(along.from, across.from, std::max(0, along.to - along.from),
                 std::max(0, across.to - across.from));
}

}  // namespace

QvSliderParts QvSliderParts::compute(const QvSliderLayout& l) {
    const int length = l.vertical ? l.size.height() : l.size.width();
    const int width = l.vertical ? l.size.width() : l.size.height();
    const int thumbAlong = l.vertical ? l.thumb.height() : l.thumb.width();
    const int thumbAcross = l.vertical ? l.thumb.width() : l.thumb.height();
    const int range = l.maximum - l.minimum;
    const int p = range > 0 ? (length - thumbAlong) * (l.value - l.minimum) / range : 0;
    const int half = thumbAlong / 2;

    // Across: everything sits in a band as wide as the wider image; all but the thumb are
    // then narrowed to the background image.
    const int band = std::max(thumbAcross, l.bkgndThickness);
    const Span bandSpan{(width - band) / 2, (width - band) / 2 + band};
    const int inset = (band - l.bkgndThickness) / 2;
    const Span narrow{bandSpan.from + inset, bandSpan.from + inset + l.bkgndThickness};

    const Span railAlong{half, length - half};
    const Span filledAlong{l.thumbInRail ? 0 : half, p + half};

    QvSliderParts parts;
    parts.thumb = Place(l, Span{p, p + thumbAlong}, bandSpan, true);
    parts.rail = Place(l, railAlong, narrow, false);
    parts.background = Place(l, l.thumbInRail ? Span{0, length} : railAlong, narrow, false);

    if (l.vertical) {
        const Span filledAcross{narrow.from + l.selectPosDeflate, narrow.to - l.selectPosDeflate};
        parts.filled = Place(l, filledAlong, filledAcross, true);
        parts.filled.setBottom(parts.filled.bottom() + l.thumbInRailX);
    } else {
        const Span filledAcross = l.selectPosDeflate > 0 ? Span{bandSpan.from + l.selectPosDeflate,
                                                                bandSpan.to - l.selectPosDeflate}
                                                         : narrow;
        parts.filled = Place(l, filledAlong, filledAcross, false);
    }
    return parts;
}
