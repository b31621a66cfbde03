#pragma once

#include "Overlay/TabBreadcrumb.h"

#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QAbstractButton>

#include <functional>

namespace ondrake {

// One crumb of the bar's breadcrumb. A crumb that names another tab is a button that activates
// it, with a hover background; the group, the elision and the active tab itself are plain text.
class BreadcrumbCrumbView final : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 4;

    // How a crumb reads, decided without pixels.
    struct Appearance {
        ThemeColor color;
        bool emphasised = false;
        bool isClickable = false;
        QString toolTip;         // empty for a crumb that is not clickable
        QString accessibleName;
        bool operator==(const Appearance &) const = default;
    };
    static Appearance appearance(const TabBreadcrumb::Crumb &crumb, const SidebarThemeTokens &theme);

    BreadcrumbCrumbView(TabBreadcrumb::Crumb crumb, const SidebarThemeTokens &theme,
                        std::function<void(const QString &tabID)> onActivate, QWidget *parent = nullptr);

    const TabBreadcrumb::Crumb &crumb() const { return crumb_; }
    void setTheme(const SidebarThemeTokens &theme);
    bool isHovering() const { return isHovering_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    TabBreadcrumb::Crumb crumb_;
    QString label_;  // as drawn
    SidebarThemeTokens theme_;
    std::function<void(const QString &)> onActivate_;
    bool isHovering_ = false;
};

}  // namespace ondrake
