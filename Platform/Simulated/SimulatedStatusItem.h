#pragma once

#include "StatusItem.h"

namespace ondrake {

// A status item nobody sees: tests open its menu and choose items by their title path.
class SimulatedStatusItem final : public StatusItem {
public:
    bool isAvailable() const override { return true; }
    void setImage(const QIcon &image, const QString &accessibilityDescription) override;
    void setMenu(std::shared_ptr<MenuModel> menu) override { menu_ = std::move(menu); }
    void performClick() override;

    const QIcon &image() const { return image_; }
    const QString &accessibilityDescription() const { return description_; }
    MenuModel *menu() const { return menu_.get(); }
    int openCount() const { return opens_; }

    // Opens the menu (refreshing it) and answers it; nothing without a menu.
    MenuModel *open();
    // Opens the menu and chooses the item at the path as a user would: false when there is no
    // such item or it is disabled or has no action.
    bool choose(const QStringList &path);

private:
    QIcon image_;
    QString description_;
    std::shared_ptr<MenuModel> menu_;
    int opens_ = 0;
};

}  // namespace ondrake
