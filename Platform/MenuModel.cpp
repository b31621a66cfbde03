#include "MenuModel.h"

#include <QKeyEvent>

namespace ondrake {

QKeySequence KeyEquivalent::sequence() const {
    if (key.isEmpty()) return {};
    QString text;
    if (command) text += QStringLiteral("Ctrl+");
    if (shift) text += QStringLiteral("Shift+");
    return QKeySequence(text + key.toUpper());
}

bool KeyEquivalent::matches(const QKeyEvent &press) const {
    const QKeySequence keys = sequence();
    if (keys.isEmpty() || press.isAutoRepeat()) return false;
    const auto modifiers = press.modifiers() & ~Qt::KeypadModifier;
    return QKeyCombination(modifiers, Qt::Key(press.key())) == keys[0];
}

MenuItem MenuItem::separator() {
    MenuItem item;
    item.isSeparator = true;
    return item;
}

MenuItem *MenuModel::item(const QString &title) {
    for (auto &entry : items)
        if (!entry.isSeparator && entry.title == title) return &entry;
    return nullptr;
}

const MenuItem *MenuModel::item(const QString &title) const { return const_cast<MenuModel *>(this)->item(title); }

MenuItem *MenuModel::item(const QStringList &path) {
    MenuModel *menu = this;
    MenuItem *found = nullptr;
    for (const auto &title : path) {
        if (!menu) return nullptr;
        found = menu->item(title);
        if (!found) return nullptr;
        menu = found->submenu.get();
    }
    return found;
}

const MenuItem *MenuModel::item(const QStringList &path) const { return const_cast<MenuModel *>(this)->item(path); }

QStringList MenuModel::titles() const {
    QStringList out;
    for (const auto &entry : items) out << (entry.isSeparator ? QStringLiteral("-") : entry.title);
    return out;
}

bool MenuModel::canChoose(const MenuItem &item) { return !item.isSeparator && item.isEnabled && bool(item.action); }

bool MenuModel::choose(const MenuItem &item) {
    if (!canChoose(item)) return false;
    // A copy: the action may rebuild the menu that holds the item.
    const MenuItem chosen = item;
    chosen.action(chosen);
    return true;
}

const MenuItem *MenuModel::itemForKey(const QKeyEvent &press) const {
    for (const auto &entry : items)
        if (!entry.isSeparator && entry.keyEquivalent.matches(press)) return &entry;
    return nullptr;
}

bool MenuModel::performKeyEquivalent(const QKeyEvent &press) {
    if (!itemForKey(press)) return false;
    // Refreshing may rebuild the items, so the item is looked up again afterwards.
    willOpen();
    const MenuItem *item = itemForKey(press);
    return item && choose(*item);
}

}  // namespace ondrake
