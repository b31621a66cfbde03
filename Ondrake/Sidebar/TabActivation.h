#pragma once

#include "Browser/SafariTab.h"

#include <QCoro/QCoroTask>

#include <functional>

namespace ondrake {

class TabStore;

// The sidebar's and the palette's ways of bringing a tab to the front. Each ends with the store's
// coalesced refresh, so that the sidebar shows the browser's new state whatever the answer.
namespace TabActivation {

// Selects the tab alone, asks the browser to show it (errors go to the store's reporting) and
// refreshes; the shell hears of an activation that happened.
QCoro::Task<> activate(TabStore &store, SafariTab tab);

// A search result chosen with a click: activates it and ends the search.
QCoro::Task<> activateResult(TabStore &store, SafariTab tab);

// Return in the sidebar's search field: the highlighted result, then the search ends. With
// nothing highlighted the search stays open and nothing happens.
QCoro::Task<> activateHighlightedResult(TabStore &store);

// The palette's activation: the given tab, else the highlighted result. With neither the palette
// only closes; otherwise it closes after the refresh, whatever the browser answered.
QCoro::Task<> activateFromPalette(TabStore &store, std::optional<SafariTab> tab, std::function<void()> onDismiss);

// The footer's New Tab: a tab in the front window, which the sidebar then scrolls to.
QCoro::Task<> openNewTab(TabStore &store);

}  // namespace TabActivation

}  // namespace ondrake
