#pragma once

#include "MenuModel.h"

#include <QIcon>

#include <memory>

namespace ondrake {

// The application's one permanent control: an icon in the desktop's status area with a menu.
// Main thread.
class StatusItem {
public:
    virtual ~StatusItem() = default;

    // False on a desktop without a status area; the item then shows nothing and the
    // application runs on without it.
    virtual bool isAvailable() const = 0;
    virtual void setImage(const QIcon &image, const QString &accessibilityDescription) = 0;
    // The menu is refreshed through its onWillOpen each time it opens.
    virtual void setMenu(std::shared_ptr<MenuModel> menu) = 0;
    // Opens the menu as a click on the icon does.
    virtual void performClick() = 0;
};

}  // namespace ondrake
