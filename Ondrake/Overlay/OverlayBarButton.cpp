#include "Overlay/OverlayBarButton.h"

#include "Overlay/OverlayBarLayout.h"
#include "Overlay/OverlayBarView.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QPainter>
#include <QPainterPath>

namespace ondrake {

OverlayBarButton::OverlayBarButton(Face face, QString help, std::function<void()> action, QWidget *parent)
    : QAbstractButton(parent), face_(std::move(face)), action_(std::move(action)) {
    setFixedSize(sizeHint());
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (action_) action_();
    });
}

QSize OverlayBarButton::sizeHint() const {
    return (face_.symbol.isEmpty() ? OverlayBarLayout::captionButtonSize(face_.caption) : OverlayBarLayout::buttonSize)
        .toSize();
}

void OverlayBarButton::paintEvent(QPaintEvent *) {
    const auto &theme = OverlayBarView::tokens(colorSchemeOf(palette()));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isHovering_) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(background, theme.hover.resolved(palette()));
    }
    const QColor ink = symbolColor(theme, isHovering_).resolved(palette());
    if (face_.symbol.isEmpty()) {
        painter.setFont(OverlayBarLayout::captionFont());
        painter.setPen(ink);
        painter.drawText(rect(), Qt::AlignCenter, face_.caption);
    } else {
        // An 11-point semibold symbol is about this big.
        const QRectF box = QRectF(0, 0, 13, 13).translated(QRectF(rect()).center() - QPointF(6.5, 6.5));
        SymbolCatalog::paint(painter, face_.symbol, box, ink);
    }
    if (hasFocus()) {
        painter.setPen(QPen(theme.accent.resolved(palette()), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), cornerRadius, cornerRadius);
    }
}

void OverlayBarButton::enterEvent(QEnterEvent *event) {
    isHovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void OverlayBarButton::leaveEvent(QEvent *event) {
    isHovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace ondrake
