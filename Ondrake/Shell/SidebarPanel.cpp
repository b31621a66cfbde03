#include "SidebarPanel.h"

#include <QEvent>
#include <QPalette>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

namespace ondrake {

SidebarPanel::Stacking SidebarPanel::stackingFor(int level) {
    if (level > kNormalLevel) return {true, true, false};
    if (level == kNormalLevel) return {false, true, false};
    return {false, false, true};  // below every normal window, the browser's included
}

SidebarPanel::SidebarPanel(const Screens &screens, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), screens_(screens) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);  // stays when the application deactivates
    // Shown without taking the keyboard, it is seldom the active window, yet its tool tips are the
    // compact rail's only labels.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setWindowTitle(QStringLiteral("Sidebar"));
    setAccessibleName(QStringLiteral("Sidebar"));
    winId();  // the window number exists from the start, before the panel is first shown
    watchNativeWindow();
}

SidebarPanel::~SidebarPanel() = default;

void SidebarPanel::watchNativeWindow() {
    if (auto *window = windowHandle()) window->installEventFilter(this);
}

bool SidebarPanel::eventFilter(QObject *watched, QEvent *event) {
    // A click anywhere in the panel, child widgets included, makes it the key window.
    if (event->type() == QEvent::MouseButtonPress && watched == windowHandle() && !isActiveWindow()) activateWindow();
    return QWidget::eventFilter(watched, event);
}

std::int64_t SidebarPanel::windowNumber() const { return std::int64_t(winId()); }

void SidebarPanel::setAppearance(std::optional<PanelAppearance> appearance) {
    if (appearance == appearance_) return;
    appearance_ = appearance;
    setPalette(panelPalette(appearance.value_or(PanelAppearance::followSystem)));
}

void SidebarPanel::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    updateWindowMask();
}

void SidebarPanel::showEvent(QShowEvent *event) {
    // A compositor may have started or stopped while the panel was away.
    compositing_ = screens_.isCompositing();
    updateWindowMask();
    QWidget::showEvent(event);
}

void SidebarPanel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateWindowMask();
}

void SidebarPanel::updateWindowMask() {
    if (cornerRadius_ > 0 && !compositing_) setMask(SidebarBackdrop::roundedRegion(size(), cornerRadius_));
    else clearMask();
}

void SidebarPanel::setFrame(const QRectF &frame, bool display) {
    frame_ = frame;
    placement_.place(*this, screens_.toNative(frame));
    if (display) update();
    Q_EMIT placementChanged();
}

void SidebarPanel::setLevel(int level) {
    if (level == level_) return;
    level_ = level;
    if (isVisible())
        orderFrontRegardless();
    else
        Q_EMIT placementChanged();
}

void SidebarPanel::orderFrontRegardless() {
    const auto stacking = stackingFor(level_);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != stacking.stayOnTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, stacking.stayOnTop);
        watchNativeWindow();  // changing the flags may give the panel a new native window
    }
    const bool wasVisible = isVisible();
    show();
    // Shown, the window is sized anew by the window manager, as Qt asks it to.
    if (!wasVisible) placement_.place(*this, screens_.toNative(frame_));
    if (stacking.raise) raise();
    if (stacking.lower) lower();
    Q_EMIT placementChanged();
    Q_EMIT orderedFront();
}

void SidebarPanel::orderOut() {
    hide();
    Q_EMIT placementChanged();
}

SidebarBackdrop::SidebarBackdrop(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void SidebarBackdrop::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    updateCornerMask();
    update();
}

void SidebarBackdrop::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateCornerMask();
}

void SidebarBackdrop::updateCornerMask() {
    if (!hasCornerMask()) {
        clearMask();
        return;
    }
    setMask(roundedRegion(size(), cornerRadius_));
}

QRegion SidebarBackdrop::roundedRegion(const QSize &size, double radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void SidebarBackdrop::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    auto colour = palette().color(QPalette::Window);
    colour.setAlpha(235);  // lets what lies behind show through a little, as the material does
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    painter.fillPath(path, colour);
}

}  // namespace ondrake
