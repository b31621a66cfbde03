#pragma once

#include "SidebarGeometry.h"
#include "SidebarKeyEvents.h"
#include "SidebarPanel.h"

#include "KeyRepeats.h"
#include "Pointer.h"
#include "Scheduler.h"
#include "Screens.h"
#include "UserDefaults.h"

#include <QKeyEvent>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake {

// Owns the sidebar's panel and backdrop, keeps its two widths and corner radius in the user
// defaults, and computes from the browser's window frame where the panel goes. When the panel is
// shown, raised or hidden is decided elsewhere; this keeps the frame current while it is visible.
// Main thread.
class SidebarWindowController {
public:
    struct Services {
        UserDefaults &defaults;
        Screens &screens;
        const Pointer &pointer;
        Scheduler &scheduler;
    };

    static constexpr int holdLevel = -1;  // one below normal windows, while another application is in front
    static constexpr double kDefaultWidth = 300, kMinimumWidth = 200, kMaximumWidth = 600;
    static constexpr double kDefaultCompactWidth = 64, kMinimumCompactWidth = 48, kMaximumCompactWidth = 120;
    static constexpr double kDefaultCornerRadius = 20, kMaximumCornerRadius = 40;
    static inline const QString kWidthKey = QStringLiteral("SidebarWidth");
    static inline const QString kCompactWidthKey = QStringLiteral("SidebarCompactWidth");
    static inline const QString kCornerRadiusKey = QStringLiteral("SidebarCornerRadius");

    static double storedWidth(const UserDefaults &defaults);
    static double storedCompactWidth(const UserDefaults &defaults);
    static double storedCornerRadius(const UserDefaults &defaults);

    // Takes the sidebar's content widget into the panel.
    SidebarWindowController(QWidget *content, Services services);
    ~SidebarWindowController();
    SidebarWindowController(const SidebarWindowController &) = delete;
    SidebarWindowController &operator=(const SidebarWindowController &) = delete;

    SidebarPanel &panel() { return *panel_; }
    const SidebarPanel &panel() const { return *panel_; }
    SidebarBackdrop &backdrop() { return *backdrop_; }

    double cornerRadius() const { return cornerRadius_; }
    double expandedWidth() const { return expandedWidth_; }
    double compactWidth() const { return compactWidth_; }
    void setCompactWidth(double width);  // clamped; the settings window's control
    bool isCompact() const { return isCompact_; }
    // Answers whether the value changed.
    bool setCompact(bool compact);
    double currentWidth() const { return isCompact_ ? compactWidth_ : expandedWidth_; }
    std::optional<QRectF> safariFrame() const { return safariFrame_; }
    bool safariSaysZoomed() const { return safariSaysZoomed_; }
    void setSafariSaysZoomed(bool zoomed) { safariSaysZoomed_ = zoomed; }
    bool frameUpdateScheduled() const { return frameUpdateScheduled_; }

    // Set by the delegate.
    std::function<void(bool)> onVisibilityChange;
    std::function<bool()> hasSelection = [] { return false; };
    bool searchFieldIsFocused = false;
    std::optional<double> widthAtDragStart;
    // Carries out a command of the panel's keys.
    std::function<void(SidebarKeyCommand)> onKeyCommand;

    // `distance`: horizontal drag distance since the drag began.
    void resize(double distance);
    void setCornerRadius(double radius);
    // Width and frame are written once per turn of the main loop however often this is called.
    void scheduleFrameUpdate();
    void setSafariFrame(const std::optional<QRectF> &frame);

    SidebarGeometry geometry() const;
    QRectF sidebarFrame() const { return geometry().sidebarFrame(); }
    std::optional<ScreenInfo> screenForSafari() const { return geometry().screenForSafari(); }
    int zoomState() const { return geometry().zoomState(); }
    bool needsRoomFromSafari() const { return geometry().needsRoomFromSafari(); }
    bool overlapsSafari() const { return geometry().overlapsSafari(); }
    std::optional<double> safariMinXAfterWidthChange(double oldWidth) const {
        return geometry().safariMinXAfterWidthChange(oldWidth);
    }

    // The key monitor: carries out the press's command, if it has one here and now; true
    // swallows the key.
    bool handleKeyDown(const QKeyEvent &event);
    // Told of every release, so that a held key's repeats are known for what they are.
    void handleKeyUp(const QKeyEvent &event) { repeats_.noteRelease(event); }
    // Who has the keyboard now.
    SidebarKeyboard keyboard() const;

private:
    class KeyMonitor;
    void applyDeferredFrameUpdate();
    void screenParametersChanged();

    Services services_;
    double cornerRadius_;
    double expandedWidth_;
    double compactWidth_;
    bool isCompact_ = false;
    std::unique_ptr<SidebarPanel> panel_;
    SidebarBackdrop *backdrop_ = nullptr;  // owned by the panel
    std::optional<QRectF> safariFrame_;
    std::optional<SidebarEdgeBehavior> lastDockBehavior_;
    bool safariSaysZoomed_ = false;
    bool frameUpdateScheduled_ = false;
    std::unique_ptr<KeyMonitor> keyMonitor_;
    KeyRepeats repeats_;
    // Lets a queued frame update notice that the controller went away.
    std::shared_ptr<SidebarWindowController *> self_ = std::make_shared<SidebarWindowController *>(this);
};

}  // namespace ondrake
