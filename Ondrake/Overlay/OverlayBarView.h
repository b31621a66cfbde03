#pragma once

#include "Overlay/OverlayBarLayout.h"
#include "Overlay/OverlayBarModel.h"

#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

namespace ondrake {

class BreadcrumbCrumbView;
class OverlayBarButton;
class SeamShading;
class UserDefaults;

// The content of the immersive bar: the active tab's breadcrumb (or its title) and the command
// palette and menu buttons, or, while the user calibrates, the live numbers inside an outline.
// It draws the bar model and hands every click back through the model's closures. Its colours
// are the light or the dark set by its own appearance, never the sidebar's chosen theme.
class OverlayBarView final : public QWidget {
    Q_OBJECT
public:
    // Names the menu's key for the palette as this desktop writes it.
    static QString commandPaletteHelp();
    static inline const QString menuHelp = QStringLiteral("Ondrake menu");
    static constexpr double outlineWidth = 2;

    // `defaults` gives the seam its strength and width; none draws the default seam.
    OverlayBarView(OverlayBarModel &model, UserDefaults *defaults, QWidget *parent = nullptr);
    ~OverlayBarView() override;

    static const SidebarThemeTokens &tokens(ColorScheme scheme);
    // One device pixel of the main screen; half a point without one.
    static double hairlineHeight(std::optional<double> mainScreenScale);

    const SidebarThemeTokens &theme() const { return tokens(colorSchemeOf(palette())); }
    QColor backgroundColor() const;
    OverlayBarLayout currentLayout() const;

    // What is on the bar now, for those who look without pixels.
    const std::vector<BreadcrumbCrumbView *> &crumbViews() const { return crumbs_; }
    QWidget &breadcrumbRow() { return *breadcrumbRow_; }
    OverlayBarButton &commandButton() { return *commandButton_; }
    OverlayBarButton &menuButton() { return *menuButton_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class Outline;
    void rebuildCrumbs();
    void relayout();
    void applyTheme();

    OverlayBarModel &model_;
    QWidget *breadcrumbRow_ = nullptr;
    std::vector<BreadcrumbCrumbView *> crumbs_;
    OverlayBarButton *commandButton_ = nullptr;
    OverlayBarButton *menuButton_ = nullptr;
    SeamShading *seam_ = nullptr;
    Outline *outline_ = nullptr;
};

}  // namespace ondrake
