#pragma once

#include "Ondrake/Sidebar/TabRowActions.h"

#include <functional>
#include <vector>

namespace ondrake {

class TabStore;

// What each row gesture and menu choice does to the store. Changes of the records alone happen
// at once; whatever reaches the browser starts a task and returns, so the row stays responsive.
// Multi-tab actions take the clicked tab's targets as the store decides them when the action
// runs. The store must outlive the actions.
struct SidebarRowActions {
    // Opens the create prompt for the tabs; the group is made only when the prompt is confirmed.
    using RequestNewGroup = std::function<void(std::vector<SafariTab>)>;

    static TabRowActions make(TabStore &store, RequestNewGroup requestNewGroup);

    // The rows of the search results: a click opens the result and ends the search, and every
    // other action takes the clicked result alone, never a selection hidden behind the results.
    static TabRowActions forSearch(TabStore &store, RequestNewGroup requestNewGroup);
};

}  // namespace ondrake
