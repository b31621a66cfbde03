#pragma once

#include <QImage>
#include <QRectF>

#include <optional>

class QColor;
class QPainter;

namespace ondrake {

// A tab's favicon in a 16-point square, or the globe when there is none. The row, the palette and
// the search results draw it; the image comes from the store's favicons.
struct FaviconView {
    static constexpr double kSide = 16;
    static constexpr double kCornerRadius = 2;
    static constexpr double kPlaceholderSide = 12;

    std::optional<QImage> image;

    // `placeholderColor` tints the globe.
    void paint(QPainter &painter, const QRectF &frame, const QColor &placeholderColor) const;

    // Where an image of `imageSize` lands in `frame`: scaled to fit, aspect kept, centred.
    static QRectF fittedRect(QSizeF imageSize, const QRectF &frame);
    // An empty image counts as none.
    bool hasImage() const { return image && !image->isNull() && !image->size().isEmpty(); }
};

}  // namespace ondrake
