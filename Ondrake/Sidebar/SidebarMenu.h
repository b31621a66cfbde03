#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QMenu;

namespace ondrake {

// A context menu as data: what it holds, which items are enabled or checked, and what each does.
// Tests read and trigger it by title; the list turns it into a QMenu when it opens.
struct SidebarMenu {
    struct Item {
        enum class Kind { action, submenu, separator };

        Kind kind = Kind::action;
        QString title{};
        bool enabled = true;
        bool checked = false;      // the title carries the check mark itself
        bool destructive = false;
        std::function<void()> action{};
        std::vector<Item> items{};  // a submenu's entries

        static Item separator() { return Item{.kind = Kind::separator}; }
        static Item button(QString title, std::function<void()> action, bool enabled = true);
        static Item submenu(QString title, std::vector<Item> items);
    };

    std::vector<Item> items;

    // The item at the end of a path of titles through submenus; null when there is none.
    const Item *find(const QStringList &path) const;
    // Runs the action at the path; false (and nothing run) when it is missing, disabled or a
    // submenu.
    bool trigger(const QStringList &path) const;
    // The titles of one level, "—" standing for a separator; the top level for an empty path.
    QStringList titles(const QStringList &submenuPath = {}) const;

    // Fills `menu` with the items; triggering a QAction runs the item's action.
    void populate(QMenu &menu) const;
};

}  // namespace ondrake
