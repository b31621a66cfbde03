#pragma once

#include "Store/SidebarViewMode.h"
#include "Sync/SidebarState.h"

#include <QString>

#include <optional>

namespace ondrake {

// What the content area shows: one message while the store cannot list tabs, else a list.
enum class SidebarContentKind {
    loading,
    safariNotRunning,
    permissionRequired,
    failed,
    searchList,
    noTabs,
    treeList,
    modeList,
};

// A query of spaces still searches: the text is taken as typed, and whether the field is open
// does not matter.
SidebarContentKind sidebarContentKind(const SidebarState &state, const QString &searchQuery, bool hasWindows,
                                      SidebarViewMode viewMode);

// One centred message in place of the tab list, with at most one action below it.
struct SidebarMessage {
    enum class Action { none, openSystemSettings, tryAgain };

    QString symbol;
    QString title;
    QString message;
    Action action = Action::none;

    bool operator==(const SidebarMessage &) const = default;

    static SidebarMessage safariNotRunning();
    static SidebarMessage permissionRequired();
    // The failure text is shown as the store gives it, however long or empty.
    static SidebarMessage failed(const QString &message);
    static SidebarMessage noTabs();
    // Nothing for the states that show a spinner or a list.
    static std::optional<SidebarMessage> forContent(SidebarContentKind kind, const SidebarState &state);

    static QString actionTitle(Action action);
    // The small print under the permission button.
    static QString permissionNote();
    static QString loadingText();
    // Where the permission button sends the user: Privacy & Security, Automation.
    static QString automationSettingsAddress();
};

}  // namespace ondrake
