#include "Shell/MenuKeyEquivalents.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ondrake {

MenuKeyEquivalents::MenuKeyEquivalents(std::shared_ptr<MenuModel> menu, std::function<bool(const QWidget &)> isOwnWindow)
    : menu_(std::move(menu)), isOwnWindow_(std::move(isOwnWindow)) {
    QCoreApplication::instance()->installEventFilter(this);
}

MenuKeyEquivalents::~MenuKeyEquivalents() = default;

bool MenuKeyEquivalents::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyRelease) repeats_.noteRelease(*static_cast<QKeyEvent *>(event));
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto &press = *static_cast<QKeyEvent *>(event);
    if (repeats_.isRepeat(press)) return false;
    // Most presses are typing: the menu is refreshed only for one of its own keys.
    if (!menu_->itemForKey(press) || !isOwnWindow_(*static_cast<QWidget *>(watched)->window())) return false;
    // A disabled item lets the key go on to the window, as a menu does.
    return menu_->performKeyEquivalent(press);
}

}  // namespace ondrake
