#pragma once

#include <QKeySequence>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QKeyEvent;

namespace ondrake {

// A key equivalent as the menu shows it: one lower-case character and its modifiers. Command
// is Qt's Control.
struct KeyEquivalent {
    QString key;  // empty: none
    bool command = false;
    bool shift = false;

    static KeyEquivalent none() { return {}; }
    static KeyEquivalent commandKey(QString key) { return {std::move(key), true, false}; }
    static KeyEquivalent commandShiftKey(QString key) { return {std::move(key), true, true}; }

    bool isEmpty() const { return key.isEmpty(); }
    QKeySequence sequence() const;
    // Whether the press is this key with exactly these modifiers; a held key's repeats are not.
    bool matches(const QKeyEvent &press) const;
    bool operator==(const KeyEquivalent &) const = default;
};

class MenuModel;

// One item of a menu held as data, so that code and tests read and choose items without a
// widget. The action receives the item it was chosen from, with its represented object.
struct MenuItem {
    QString title;
    bool isSeparator = false;
    KeyEquivalent keyEquivalent;
    bool isEnabled = true;
    bool isChecked = false;
    QString toolTip;  // empty: none
    QVariant representedObject;
    std::function<void(const MenuItem &)> action;
    std::shared_ptr<MenuModel> submenu;

    static MenuItem separator();
};

// A menu as data. Its owner refreshes it through onWillOpen each time it is about to be shown;
// the platform layer then draws what it holds.
class MenuModel {
public:
    std::vector<MenuItem> items;
    // Called every time the menu is about to open, before it is drawn.
    std::function<void()> onWillOpen;

    // The first direct item with exactly this title; separators have none.
    MenuItem *item(const QString &title);
    const MenuItem *item(const QString &title) const;
    // Down through submenus, one title per level.
    MenuItem *item(const QStringList &path);
    const MenuItem *item(const QStringList &path) const;
    // Titles of the items in order; separators as "-".
    QStringList titles() const;

    void willOpen() const {
        if (onWillOpen) onWillOpen();
    }
    // Whether a user can choose the item: enabled, with an action.
    static bool canChoose(const MenuItem &item);
    // What a user's choice does: an item that can be chosen runs its action. Answers whether it ran.
    static bool choose(const MenuItem &item);
    // The direct item whose key equivalent the press is, if any.
    const MenuItem *itemForKey(const QKeyEvent &press) const;
    // What a key equivalent does, open or not: the menu is refreshed as for opening, then the
    // item of that key is chosen. Answers whether it ran.
    bool performKeyEquivalent(const QKeyEvent &press);
};

}  // namespace ondrake
