#include "Ondrake/Sidebar/FaviconView.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QPainter>
#include <QPainterPath>

namespace ondrake {

QRectF FaviconView::fittedRect(QSizeF imageSize, const QRectF &frame) {
    if (imageSize.isEmpty() || frame.isEmpty()) return {};
    const QSizeF fitted = imageSize.scaled(frame.size(), Qt::KeepAspectRatio);
    return QRectF(frame.center().x() - fitted.width() / 2, frame.center().y() - fitted.height() / 2, fitted.width(),
                  fitted.height());
}

void FaviconView::paint(QPainter &painter, const QRectF &frame, const QColor &placeholderColor) const {
    if (!hasImage()) {
        const QRectF box(frame.center().x() - kPlaceholderSide / 2, frame.center().y() - kPlaceholderSide / 2,
                         kPlaceholderSide, kPlaceholderSide);
        SymbolCatalog::paint(painter, u"globe", box, placeholderColor);
        return;
    }
    const QRectF target = fittedRect(QSizeF(image->size()) / image->devicePixelRatio(), frame);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(target, kCornerRadius, kCornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.drawImage(target, *image);
    painter.restore();
}

}  // namespace ondrake
