#include "SidebarWindowController.h"

#include <QApplication>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ondrake {

// Sees every key press of the application before it reaches a widget, as long as it lives.
class SidebarWindowController::KeyMonitor final : public QObject {
public:
    explicit KeyMonitor(SidebarWindowController &controller) : controller_(controller) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress && controller_.handleKeyDown(*static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::KeyRelease) controller_.handleKeyUp(*static_cast<QKeyEvent *>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    SidebarWindowController &controller_;
};

namespace {
double storedPositive(const UserDefaults &defaults, const QString &key, double fallback, double low, double high) {
    const double stored = defaults.doubleForKey(key);
    return stored > 0 ? std::clamp(stored, low, high) : fallback;
}
}  // namespace

double SidebarWindowController::storedWidth(const UserDefaults &defaults) {
    return storedPositive(defaults, kWidthKey, kDefaultWidth, kMinimumWidth, kMaximumWidth);
}

double SidebarWindowController::storedCompactWidth(const UserDefaults &defaults) {
    return storedPositive(defaults, kCompactWidthKey, kDefaultCompactWidth, kMinimumCompactWidth,
                          kMaximumCompactWidth);
}

double SidebarWindowController::storedCornerRadius(const UserDefaults &defaults) {
    // A stored 0 means square corners; only a missing (or unusable) value gives the default.
    if (!defaults.objectForKey(kCornerRadiusKey)) return kDefaultCornerRadius;
    const double stored = defaults.doubleForKey(kCornerRadiusKey);
    if (std::isnan(stored)) return kDefaultCornerRadius;
    return std::clamp(stored, 0.0, kMaximumCornerRadius);
}

SidebarWindowController::SidebarWindowController(QWidget *content, Services services)
    : services_(services), cornerRadius_(storedCornerRadius(services.defaults)),
      expandedWidth_(storedWidth(services.defaults)), compactWidth_(storedCompactWidth(services.defaults)) {
    SidebarGeometry start;
    start.screens = services_.screens.screens();
    start.mainScreen = services_.screens.mainScreen();
    start.mouseLocation = services_.pointer.location();
    QRectF contentRect(0, 0, kDefaultWidth, SidebarGeometry::kNoScreenHeight);
    if (const auto screen = start.fallbackScreen()) {
        const auto &v = screen->visibleFrame;
        contentRect = QRectF(v.left(), v.top(), kDefaultWidth, v.height());
    }

    panel_ = std::make_unique<SidebarPanel>(services_.screens);
    panel_->setFrame(contentRect, false);
    auto *layout = new QVBoxLayout(panel_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    backdrop_ = new SidebarBackdrop(panel_.get());
    backdrop_->setCornerRadius(cornerRadius_);
    panel_->setCornerRadius(cornerRadius_);
    layout->addWidget(backdrop_);
    auto *inner = new QVBoxLayout(backdrop_);
    inner->setContentsMargins(0, 0, 0, 0);
    if (content) inner->addWidget(content);

    QObject::connect(&services_.screens, &Screens::parametersChanged, panel_.get(),
                     [this] { screenParametersChanged(); });
    keyMonitor_ = std::make_unique<KeyMonitor>(*this);
}

SidebarWindowController::~SidebarWindowController() {
    *self_ = nullptr;
    keyMonitor_.reset();
}

void SidebarWindowController::setCompactWidth(double width) {
    compactWidth_ = std::clamp(width, kMinimumCompactWidth, kMaximumCompactWidth);
    if (isCompact_) scheduleFrameUpdate();
}

bool SidebarWindowController::setCompact(bool compact) {
    if (compact == isCompact_) return false;
    isCompact_ = compact;
    return true;
}

SidebarGeometry SidebarWindowController::geometry() const {
    SidebarGeometry g;
    g.screens = services_.screens.screens();
    g.mainScreen = services_.screens.mainScreen();
    g.mouseLocation = services_.pointer.location();
    g.safariFrame = safariFrame_;
    g.width = currentWidth();
    g.edgeBehavior = currentSidebarEdgeBehavior(services_.defaults);
    g.safariSaysZoomed = safariSaysZoomed_;
    return g;
}

void SidebarWindowController::resize(double distance) {
    if (!widthAtDragStart) widthAtDragStart = currentWidth();
    const double width = isCompact_ ? std::clamp(*widthAtDragStart + distance, kMinimumCompactWidth, kMaximumCompactWidth)
                                    : std::clamp(*widthAtDragStart + distance, kMinimumWidth, kMaximumWidth);
    if (width == currentWidth()) return;
    (isCompact_ ? compactWidth_ : expandedWidth_) = width;
    scheduleFrameUpdate();
}

void SidebarWindowController::setCornerRadius(double radius) {
    const double clamped = std::clamp(std::isnan(radius) ? 0.0 : radius, 0.0, kMaximumCornerRadius);
    if (clamped == cornerRadius_) return;
    cornerRadius_ = clamped;
    services_.defaults.setDouble(kCornerRadiusKey, clamped);
    backdrop_->setCornerRadius(clamped);
    panel_->setCornerRadius(clamped);
    panel_->invalidateShadow();
}

void SidebarWindowController::scheduleFrameUpdate() {
    if (!panel_->isVisible() || frameUpdateScheduled_) return;
    frameUpdateScheduled_ = true;
    services_.scheduler.post([weak = std::weak_ptr(self_)] {
        if (const auto self = weak.lock(); self && *self) (*self)->applyDeferredFrameUpdate();
    });
}

void SidebarWindowController::applyDeferredFrameUpdate() {
    frameUpdateScheduled_ = false;
    services_.defaults.setDouble(isCompact_ ? kCompactWidthKey : kWidthKey, currentWidth());
    if (!panel_->isVisible()) return;
    panel_->setFrame(sidebarFrame(), true);
    panel_->invalidateShadow();
}

void SidebarWindowController::setSafariFrame(const std::optional<QRectF> &frame) {
    const auto behavior = currentSidebarEdgeBehavior(services_.defaults);
    if (frame == safariFrame_ && lastDockBehavior_ == behavior) return;
    safariFrame_ = frame;
    lastDockBehavior_ = behavior;
    if (!panel_->isVisible()) return;
    const auto wanted = sidebarFrame();
    if (wanted != panel_->frame()) panel_->setFrame(wanted, false);
}

void SidebarWindowController::screenParametersChanged() {
    if (!panel_->isVisible()) return;
    panel_->setFrame(sidebarFrame(), true);
    panel_->invalidateShadow();
}

SidebarKeyboard SidebarWindowController::keyboard() const {
    // An open popup keeps the panel the active window while it takes every key itself.
    return {.panelIsKey = panel_->isKeyWindow(),
            .popupIsOpen = QApplication::activePopupWidget() != nullptr,
            .searchFieldIsFocused = searchFieldIsFocused,
            .hasSelection = hasSelection()};
}

bool SidebarWindowController::handleKeyDown(const QKeyEvent &event) {
    const auto route = routeSidebarKey(event, repeats_.isRepeat(event), keyboard());
    if (route.command && onKeyCommand) onKeyCommand(*route.command);
    return route.swallowed;
}

}  // namespace ondrake
