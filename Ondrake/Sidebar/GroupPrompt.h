#pragma once

#include "Browser/SafariTab.h"
#include "Ondrake/Model/TabGroup.h"

#include <QString>

#include <variant>
#include <vector>

namespace ondrake {

// The "Tab Group" prompt: a name for a new group, into which it may file some tabs, or a new
// name for an existing group.
struct GroupPrompt {
    struct Create {
        std::vector<SafariTab> tabs;
        bool operator==(const Create &) const = default;
    };
    struct Rename {
        TabGroup group;
        bool operator==(const Rename &) const = default;
    };

    std::variant<Create, Rename> kind;

    static GroupPrompt create(std::vector<SafariTab> tabs) { return {Create{std::move(tabs)}}; }
    static GroupPrompt rename(TabGroup group) { return {Rename{std::move(group)}}; }

    bool isRename() const { return std::holds_alternative<Rename>(kind); }
    // "create" for every new group; "rename-" and the group's UUID otherwise.
    QString id() const;
    QString message() const;
    QString confirmTitle() const;
    // What the name field starts with: nothing for a new group, the current name for a rename.
    QString initialName() const;

    // A name that is empty after trimming names nothing, so it cannot be confirmed.
    static bool canConfirm(const QString &name);

    bool operator==(const GroupPrompt &) const = default;
};

}  // namespace ondrake
