#pragma once

#include "Ondrake/Sidebar/SidebarThemeChoice.h"
#include "Qt/WindowPlacement.h"
#include "Screens.h"

#include <QWidget>

#include <cstdint>

namespace ondrake {

// The sidebar's window: frameless, a tool window that shows without taking focus, yet takes the
// keyboard once the user clicks into it. Its frame, level and ordering are data; applying them to
// the desktop's window is all the widget does with them.
class SidebarPanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNormalLevel = 0;

    // How a level is applied on a desktop that knows only raising, lowering and staying on top.
    struct Stacking {
        bool stayOnTop = false;
        bool raise = false;
        bool lower = false;
        bool operator==(const Stacking &) const = default;
    };
    static Stacking stackingFor(int level);

    explicit SidebarPanel(const Screens &screens, QWidget *parent = nullptr);
    ~SidebarPanel() override;

    // In screen coordinates (origin bottom left of the first screen).
    QRectF frame() const { return frame_; }
    // `display`: repaint now rather than when the desktop asks.
    void setFrame(const QRectF &frame, bool display);
    int level() const { return level_; }
    void setLevel(int level);
    // Shows the panel at its level without activating the application.
    void orderFrontRegardless();
    void orderOut();
    // The desktop draws the shadow of a frameless window itself, if at all; nothing to recompute.
    void invalidateShadow() {}
    std::int64_t windowNumber() const;
    // Light or dark whatever the desktop uses; nothing follows the desktop.
    void setAppearance(std::optional<PanelAppearance> appearance);
    std::optional<PanelAppearance> appearance() const { return appearance_; }
    bool isKeyWindow() const { return isActiveWindow(); }
    // The rounded corners of the backdrop. Where the desktop does not composite, the window itself
    // is cut to them, or its transparent corners would show black.
    void setCornerRadius(double radius);
    // Whether the window is cut to its rounded shape.
    bool masksCorners() const { return !mask().isEmpty(); }

Q_SIGNALS:
    // The frame, level or visibility changed; lets a simulated window server follow the panel.
    void placementChanged();
    // The panel was brought up at its level.
    void orderedFront();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void watchNativeWindow();
    void updateWindowMask();

    const Screens &screens_;
    // To the pixel, so that the panel meets the browser's window under any scale.
    const WindowPlacement placement_;
    QRectF frame_;
    int level_ = kNormalLevel;
    std::optional<PanelAppearance> appearance_;
    double cornerRadius_ = 0;
    bool compositing_ = true;  // as the desktop said when the panel was last shown
};

// The translucent, rounded surface that fills the panel and holds the sidebar's content.
class SidebarBackdrop final : public QWidget {
    Q_OBJECT
public:
    explicit SidebarBackdrop(QWidget *parent = nullptr);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    // Square corners need no rounding mask.
    bool hasCornerMask() const { return cornerRadius_ > 0; }
    // A rectangle of `size` with corners of `radius` cut off.
    static QRegion roundedRegion(const QSize &size, double radius);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The content is cut to the rounded corners too, not only the surface behind it.
    void updateCornerMask();

    double cornerRadius_ = 0;
};

}  // namespace ondrake
