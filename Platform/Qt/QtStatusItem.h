#pragma once

#include "Log.h"
#include "StatusItem.h"

#include <QColor>
#include <QIcon>
#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace ondrake {

// The status item as an icon in the desktop's system tray with a context menu. The menu's
// widgets are rebuilt from the model every time it is about to show; while open it takes the
// key equivalents of its items. The icon enters the tray once it has an image. Where the desktop
// has no tray, one line says so and the item stays hidden.
class QtStatusItem final : public StatusItem {
public:
    QtStatusItem();
    ~QtStatusItem() override;

    bool isAvailable() const override { return available_; }
    void setImage(const QIcon &image, const QString &accessibilityDescription) override;
    void setMenu(std::shared_ptr<MenuModel> menu) override;
    void performClick() override;

    // The tray's menu as last built.
    QMenu &menu() { return *menu_; }
    // Refreshes the model and rebuilds the widgets, as opening does.
    void rebuild();
    // Fills `menu` with the model's items; the actions run the model's items.
    static void fill(QMenu &menu, const MenuModel &model);
    // The tray's picture of `image` at the sizes trays ask for, on a transparent ground, so no
    // tray draws a square behind it. A mask image keeps only its shape, in `ink`.
    static QIcon trayImage(const QIcon &image, const QColor &ink);
    static constexpr int kTraySizes[] = {16, 22, 24, 32, 48, 64};

private:
    class OpenMenuKeys;

    const Logger log_{QStringLiteral("Sidebar")};
    bool available_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::shared_ptr<MenuModel> model_;
    std::unique_ptr<OpenMenuKeys> keys_;
};

}  // namespace ondrake
