#include "TitleInk.h"

#include "Pixels.h"

#include <algorithm>

namespace ondrake::test {

namespace {
// Anti-aliased edges blend into the surface; a pixel this far from it belongs to a letter.
constexpr double kInk = 1.5;
}  // namespace

QRect TitleInk::area(const QRect &panel) {
    // Above the divider under the header row.
    return QRect(panel.left() + 10, panel.top() + 6, panel.width() * 55 / 100 - 10, 28);
}

TitleInk TitleInk::measure(const QImage &screenshot, const QRect &panel) {
    const QRect region = area(panel).intersected(screenshot.rect());
    TitleInk ink;
    if (region.isEmpty()) return ink;
    ink.surface = mostCommonColor(screenshot, region);
    ink.contrast = contrastRatio(strongestInk(screenshot, region, ink.surface), ink.surface);

    int first = region.right() + 1, last = region.left() - 1;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            if (contrastRatio(QColor::fromRgb(screenshot.pixel(x, y)), ink.surface) < kInk) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    ink.paintedWidth = last >= first ? last - first + 1 : 0;
    return ink;
}

}  // namespace ondrake::test
