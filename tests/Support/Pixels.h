#pragma once

#include "Ondrake/Sidebar/ThemeColor.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <map>

namespace ondrake::test {

// The colour most pixels of `area` have: the surface behind what is drawn there.
inline QColor mostCommonColor(const QImage &image, const QRect &area) {
    std::map<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y) | 0xff000000u];
    if (counts.empty()) return {};
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto &a, const auto &b) { return a.second < b.second; });
    return QColor::fromRgb(most->first);
}

// The pixel of `area` that stands out most from `background`.
inline QColor strongestInk(const QImage &image, const QRect &area, const QColor &background) {
    QColor strongest = background;
    double best = 1;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = QColor::fromRgb(image.pixel(x, y) | 0xff000000u);
            if (const double ratio = contrastRatio(pixel, background); ratio > best) {
                best = ratio;
                strongest = pixel;
            }
        }
    return strongest;
}

// How far the text inside `area` stands out from its surface, as the pixels show it.
inline double inkContrast(const QImage &image, const QRect &area) {
    const QColor surface = mostCommonColor(image, area);
    return contrastRatio(strongestInk(image, area, surface), surface);
}

}  // namespace ondrake::test
