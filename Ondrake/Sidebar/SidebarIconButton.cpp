#include "Ondrake/Sidebar/SidebarIconButton.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QFocusEvent>
#include <QPainter>
#include <QStyleOptionToolButton>

namespace ondrake {

SidebarIconButton::SidebarIconButton(HeaderIcon icon, int symbolSize, SidebarEnvironment *environment,
                                     QWidget *parent)
    : QToolButton(parent), symbolSize_(symbolSize), environment_(environment) {
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    setFixedSize(symbolSize + 10, symbolSize + 10);
    setIcon(icon);
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, qOverload<>(&QWidget::update));
}

void SidebarIconButton::setIcon(const HeaderIcon &icon) {
    icon_ = icon;
    setToolTip(icon.help);
    setAccessibleName(icon.accessibleName);
    update();
}

void SidebarIconButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    if (isDown() || underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme.hover.resolved(palette()));
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    if (hasFocus() && showsFocus_) {
        painter.setPen(QPen(theme.accent.resolved(palette()), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    const QRectF box(QPointF(0, 0), QSizeF(symbolSize_, symbolSize_));
    SymbolCatalog::paint(painter, icon_.symbol, box.translated(QRectF(rect()).center() - box.center()),
                         theme.mutedForeground.resolved(palette()));
}

void SidebarIconButton::focusInEvent(QFocusEvent *event) {
    const auto reason = event->reason();
    showsFocus_ = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    QToolButton::focusInEvent(event);
}

SidebarDivider::SidebarDivider(SidebarEnvironment *environment, QWidget *parent)
    : QWidget(parent), environment_(environment) {
    setFixedHeight(1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, qOverload<>(&QWidget::update));
}

void SidebarDivider::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QColor color = (environment_ ? environment_->theme() : SidebarThemeTokens::light()).border.resolved(palette());
    color.setAlphaF(color.alphaF() * 0.5f);
    painter.fillRect(rect(), color);
}

}  // namespace ondrake
