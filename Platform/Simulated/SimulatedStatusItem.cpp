#include "SimulatedStatusItem.h"

namespace ondrake {

void SimulatedStatusItem::setImage(const QIcon &image, const QString &accessibilityDescription) {
    image_ = image;
    description_ = accessibilityDescription;
}

void SimulatedStatusItem::performClick() { open(); }

MenuModel *SimulatedStatusItem::open() {
    if (!menu_) return nullptr;
    ++opens_;
    menu_->willOpen();
    return menu_.get();
}

bool SimulatedStatusItem::choose(const QStringList &path) {
    auto *menu = open();
    if (!menu) return false;
    const auto *item = menu->item(path);
    return item && MenuModel::choose(*item);
}

}  // namespace ondrake
