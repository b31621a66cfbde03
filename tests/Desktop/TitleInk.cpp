#include "TitleInk.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace ondrake::test {

namespace {

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c) {
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// Anti-aliased edges blend into the surface; a pixel this far from it belongs to a letter.
constexpr double kInk = 1.5;

}  // namespace

double contrastRatio(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRect TitleInk::area(const QRect &panel) {
    // Above the divider under the header row.
    return QRect(panel.left() + 10, panel.top() + 6, panel.width() * 55 / 100 - 10, 28);
}

TitleInk TitleInk::measure(const QImage &screenshot, const QRect &panel) {
    const QRect region = area(panel).intersected(screenshot.rect());
    TitleInk ink;
    if (region.isEmpty()) return ink;
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) ++counts[screenshot.pixel(x, y) | 0xff000000u];
    ink.surface = QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](int a, int b) { return a < b; }).key());

    int first = region.right() + 1, last = region.left() - 1;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const double ratio = contrastRatio(QColor::fromRgb(screenshot.pixel(x, y)), ink.surface);
            ink.contrast = std::max(ink.contrast, ratio);
            if (ratio < kInk) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    ink.paintedWidth = last >= first ? last - first + 1 : 0;
    return ink;
}

}  // namespace ondrake::test
