#include "Ondrake/Sidebar/SidebarMenu.h"

#include "PlainText.h"

#include <QMenu>

#include <utility>

namespace ondrake {

using Item = SidebarMenu::Item;

Item Item::button(QString title, std::function<void()> action, bool enabled) {
    return Item{.kind = Kind::action, .title = std::move(title), .enabled = enabled, .action = std::move(action)};
}

Item Item::submenu(QString title, std::vector<Item> items) {
    return Item{.kind = Kind::submenu, .title = std::move(title), .items = std::move(items)};
}

namespace {

const Item *findIn(const std::vector<Item> &items, const QStringList &path, qsizetype depth) {
    for (const Item &item : items) {
        if (item.kind == Item::Kind::separator || item.title != path[depth]) continue;
        if (depth + 1 == path.size()) return &item;
        if (item.kind == Item::Kind::submenu) return findIn(item.items, path, depth + 1);
        return nullptr;
    }
    return nullptr;
}

// Titles are text as shown, never mnemonic markup.
void fill(QMenu &menu, const std::vector<Item> &items) {
    for (const Item &item : items) {
        switch (item.kind) {
        case Item::Kind::separator: menu.addSeparator(); break;
        case Item::Kind::submenu: {
            QMenu *sub = menu.addMenu(literalMnemonics(item.title));
            sub->setEnabled(item.enabled);
            fill(*sub, item.items);
            break;
        }
        case Item::Kind::action: {
            QAction *action = menu.addAction(literalMnemonics(item.title));
            action->setEnabled(item.enabled);
            if (item.action) QObject::connect(action, &QAction::triggered, &menu, [run = item.action] { run(); });
            break;
        }
        }
    }
}

}  // namespace

const Item *SidebarMenu::find(const QStringList &path) const {
    return path.isEmpty() ? nullptr : findIn(items, path, 0);
}

bool SidebarMenu::trigger(const QStringList &path) const {
    const Item *item = find(path);
    if (!item || item->kind != Item::Kind::action || !item->enabled) return false;
    if (item->action) item->action();
    return true;
}

QStringList SidebarMenu::titles(const QStringList &submenuPath) const {
    const std::vector<Item> *level = &items;
    if (!submenuPath.isEmpty()) {
        const Item *submenu = find(submenuPath);
        if (!submenu || submenu->kind != Item::Kind::submenu) return {};
        level = &submenu->items;
    }
    QStringList titles;
    for (const Item &item : *level) titles << (item.kind == Item::Kind::separator ? QStringLiteral("—") : item.title);
    return titles;
}

void SidebarMenu::populate(QMenu &menu) const { fill(menu, items); }

}  // namespace ondrake
