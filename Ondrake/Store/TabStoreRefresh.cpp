#include "TabStore.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

namespace {
// The hosts of the tabs that do not stand, with the same address, where they stood at the last
// publish: those were asked for then, and the loader keeps what it learnt of them.
TextSet newFaviconHosts(const std::vector<SafariWindow> &before, const std::vector<SafariWindow> &now) {
    TextSet hosts;
    for (std::size_t w = 0; w < now.size(); ++w) {
        const auto *old = w < before.size() && before[w].safariID == now[w].safariID ? &before[w] : nullptr;
        const auto &tabs = now[w].tabs;
        for (std::size_t i = 0; i < tabs.size(); ++i) {
            if (old && i < old->tabs.size() && old->tabs[i].id == tabs[i].id && sameURL(old->tabs[i].url, tabs[i].url))
                continue;
            if (const auto host = FaviconLoader::faviconHost(tabs[i].url)) hosts.insert(*host);
        }
    }
    return hosts;
}
// The position among the shown tabs of the stored parent, or of the nearest stored ancestor
// above it that is shown. The walk is bounded, so links that loop end it.
std::optional<std::size_t> nearestShownAncestor(const TabRecordBook &book, OndrakeID parentID,
                                                const QHash<OndrakeID, std::size_t> &positions) {
    constexpr int kMaxLevels = 64;
    for (int level = 0; level < kMaxLevels; ++level) {
        if (const auto found = positions.constFind(parentID); found != positions.cend()) return *found;
        const auto record = book.records.find(parentID);
        if (record == book.records.end() || !record->second.parentID) return std::nullopt;
        parentID = *record->second.parentID;
    }
    return std::nullopt;
}
}  // namespace

QCoro::Task<> TabStore::requestRefresh() {
    const auto coalescer = coalescer_;
    co_await coalescer->request();
}

QCoro::Task<> TabStore::refresh() {
    const auto alive = lifetime();
    if (workspace_.runningApplications(safariBundleIdentifier()).empty()) {
        browserQuit();
        publish({}, SidebarState::safariNotRunning());
        co_return;
    }
    if (state_.kind == SidebarState::Kind::permissionRequired &&
        permission_.status(false) == AutomationPermission::Status::denied) {
        publish({}, SidebarState::permissionRequired());
        co_return;
    }

    WindowList windows;
    try {
        windows = co_await adapter_.snapshot();
    } catch (const SafariControllerError &error) {
        if (!alive.expired()) reportAdapterError(error);
        co_return;
    } catch (const std::exception &error) {
        if (!alive.expired()) reportError(error);
        co_return;
    }
    if (alive.expired()) co_return;
    followBrowserSession();
    applyBrowserEvents(windows);
    publish(std::move(windows), SidebarState::ready());
    co_await restoreReattachedNesting();
    if (alive.expired()) co_return;
    co_await placePendingRestores();
    if (alive.expired()) co_return;
    co_await nestLinkedTabs();
}

void TabStore::reportError(const std::exception &error) {
    reportAdapterError(SafariControllerError::automationFailure(QString::fromUtf8(error.what())));
}

void TabStore::followBrowserSession() {
    const auto session = adapter_.sessionSerial();
    if (browserSession_ && *browserSession_ != session) {
        logger_.debug("The browser started a new session; unbinding the last one's tabs first");
        browserQuit();
    }
    browserSession_ = session;
}

void TabStore::reportAdapterError(const SafariControllerError &error) {
    using Kind = SafariControllerError::Kind;
    switch (error.kind()) {
    case Kind::automationFailure:
        logger_.error("Browser automation failed: %{public}s", error.message());
        assign(state_, SidebarState::failed(error.message()), &TabStore::stateChanged);
        assign(error_, OptionalText(error.message()), &TabStore::errorChanged);
        break;
    case Kind::unsupported:
        logger_.error("Unsupported operation attempted: %{public}s", error.missingCapability().description());
        break;
    case Kind::safariNotRunning:
        browserQuit();
        publish({}, SidebarState::safariNotRunning());
        break;
    case Kind::permissionDenied:
        publish({}, SidebarState::permissionRequired());
        break;
    case Kind::windowNotFound:
    case Kind::tabNotFound:
        logger_.debug("Stale target: %s", error.description());
        break;
    }
}

void TabStore::browserQuit() {
    hasReceivedBrowserSnapshot_ = false;
    windowKeys_.forgetWindows();
    assign(newTabScrollTargetID_, OptionalText(), &TabStore::newTabScrollTargetIDChanged);
    const bool anyBound = std::any_of(book_.records.begin(), book_.records.end(),
                                      [](const auto &entry) { return entry.second.isOpen() && entry.second.isBound(); });
    if (lastSnapshot_.tabs.empty() && !anyBound) {
        lastSnapshot_ = ResolvedSnapshot{{}, {}, false};
        return;
    }
    auto unbound = book_;
    unbound.unbindAll();
    const auto open = unbound.openRecords();
    resolver_.unbindAll(open);
    setBook(std::move(unbound));

    lastSnapshot_ = ResolvedSnapshot{{}, {}, false};
    assign(ondrakeIDs_, TabIdentityMapping(), &TabStore::ondrakeIDsChanged);
    pendingRestores_.clear();
    pendingRelinks_.clear();
    setSelection({});
    logger_.debug("Browser quit; unbound %ld record(s)", qint64(open.size()));
}

void TabStore::publish(WindowList windows, const SidebarState &state) {
    windowOrdering_.update(windows);
    if (windows_ != windows) {
        faviconLoader_->request(newFaviconHosts(windows_, windows));
        // Taken over whole: copying would touch every tab's texts once more.
        windows_ = std::move(windows);
        qint64 tabCount = 0;
        for (const auto &window : windows_) tabCount += qint64(window.tabs.size());
        logger_.debug("Published %ld window(s), %ld tab(s)", qint64(windows_.size()), tabCount);
        Q_EMIT this->windowsChanged();
    }
    if (!collapsedTabIDs_.empty()) {
        // A fold stays on a tab only while tabs are nested under it: once the last one has gone,
        // the next tab nested there would vanish under a row that shows no fold.
        TextViewSet shown, parents;
        for (const auto &window : windows_)
            for (const auto &tab : window.tabs) {
                shown.insert(tab.id);
                if (tab.parentID) parents.insert(*tab.parentID);
            }
        const auto holding = [&](const QString &id) { return shown.contains(id) && parents.contains(id); };
        if (!std::all_of(collapsedTabIDs_.begin(), collapsedTabIDs_.end(), holding)) {
            auto kept = collapsedTabIDs_;
            std::erase_if(kept, [&](const QString &id) { return !holding(id); });
            setCollapsedTabIDs(std::move(kept));
        }
    }
    applyWindowScope();
    if (state_ != state) {
        logger_.info("State %{public}s -> %{public}s", state_.description(), state.description());
        state_ = state;
        Q_EMIT stateChanged();
    }
    assign(error_, OptionalText(), &TabStore::errorChanged);
}

void TabStore::applyBrowserEvents(const WindowList &windows) {
    const bool steersSidebar = hasReceivedBrowserSnapshot_;
    hasReceivedBrowserSnapshot_ = true;

    const auto mapping = resolver_.resolve(windows, [this](std::int64_t windowID) { return windowKeys_.keyOf(windowID); });
    // Records still waiting note the window they now wait in, so that they keep it through
    // later restarts.
    bool rekeyed = false;
    for (const auto &[id, key] : resolver_.rekeyed())
        if (const auto it = book_.records.find(id); it != book_.records.end() && it->second.windowKey != key) {
            it->second.windowKey = key;
            rekeyed = true;
        }
    auto current = makeResolvedSnapshot(windows, mapping, &resolvedTabs_);
    const auto events = differ_.diff(lastSnapshot_.tabs, lastSnapshot_.windowIDs, current.tabs, current.windowIDs,
                                     current.browserWasRunning);
    if (ondrakeIDs_ != mapping) {
        ondrakeIDs_ = mapping;
        Q_EMIT ondrakeIDsChanged();
    }

    QSet<OndrakeID> created;
    for (const auto &event : events)
        if (const auto *c = event.as<TabEvent::TabCreated>()) created.insert(c->id);

    if (steersSidebar && !created.isEmpty()) {
        const ResolvedTab *candidate = nullptr;
        for (const auto &tab : current.tabs)
            if (tab.isActive && created.contains(tab.ondrakeID)) {
                candidate = &tab;
                break;
            }
        if (!candidate)
            for (auto it = current.tabs.rbegin(); it != current.tabs.rend(); ++it)
                if (created.contains(it->ondrakeID)) {
                    candidate = &*it;
                    break;
                }
        if (candidate) {
            revealTab(candidate->sessionTabID, windows);
            bool arm = pendingNewTabScrollPolls_ > 0;
            if (candidate->isActive) {
                selectOnly(candidate->sessionTabID);
                logger_.debug("New active tab %{public}s took the selection", candidate->ondrakeID.toString());
                arm = true;
            }
            if (arm) {
                assign(newTabScrollTargetID_, OptionalText(candidate->sessionTabID), &TabStore::newTabScrollTargetIDChanged);
                logger_.debug("New tab %{public}s armed the sidebar scroll", candidate->ondrakeID.toString());
            }
            pendingNewTabScrollPolls_ = 0;
        } else if (pendingNewTabScrollPolls_ > 0) {
            --pendingNewTabScrollPolls_;
        }
    } else if (steersSidebar && pendingNewTabScrollPolls_ > 0) {
        --pendingNewTabScrollPolls_;
    }

    // The snapshot the next poll is compared with; the one it replaces is written over next time.
    const auto keepAsLastSnapshot = [this](ResolvedSnapshot &&snapshot) {
        std::swap(lastSnapshot_, snapshot);
        resolvedTabs_.recycle(std::move(snapshot.tabs));
    };
    if (events.empty()) {
        keepAsLastSnapshot(std::move(current));
        if (rekeyed) {
            Q_EMIT recordsChanged();
            scheduleSave();
        }
        return;
    }

    // A record coming back to a tab keeps the parent it had, or, when that one did not come
    // back, its nearest stored ancestor that did, as long as it stands before it in the same
    // window; the browser's tree learns the link as from a drag.
    QHash<OndrakeID, std::size_t> positions;  // built on first need: most polls reattach nothing
    for (auto &tab : current.tabs) {
        if (!created.contains(tab.ondrakeID) || tab.parentOndrakeID) continue;
        const auto stored = book_.records.find(tab.ondrakeID);
        if (stored == book_.records.end() || !stored->second.parentID) continue;
        if (positions.isEmpty())
            for (std::size_t i = 0; i < current.tabs.size(); ++i) positions.insert(current.tabs[i].ondrakeID, i);
        const auto found = nearestShownAncestor(book_, *stored->second.parentID, positions);
        if (!found) continue;
        const auto &parentID = current.tabs[*found].ondrakeID;
        const auto parent = current.tabs.begin() + std::ptrdiff_t(*found);
        if (parent->windowID != tab.windowID || parent->index >= tab.index) continue;
        tab.parentOndrakeID = parentID;
        const auto window = std::find_if(windows.begin(), windows.end(),
                                         [&](const SafariWindow &w) { return w.safariID == tab.windowID; });
        pendingRelinks_.push_back(SafariTabMove{
            .windowID = tab.windowID,
            .fromIndex = tab.index,
            .count = 1,
            .toIndex = tab.index,
            .expectedURL = tab.url.value_or(QString()),
            .expectedTabCount = window != windows.end() ? std::int64_t(window->tabs.size()) : 0,
            .tabID = tab.sessionTabID,
            .newParentID = parent->sessionTabID,
        });
    }

    const bool closedTabHistory = flags_->isEnabled(FeatureFlag::closedTabHistory());
    const bool changed = book_.apply(events, current.tabs, scheduler_.wallNow(), closedTabHistory,
                                     [this](std::int64_t windowID) { return windowKeys_.keyOf(windowID); });
    for (const auto &event : events)
        if (const auto *closed = event.as<TabEvent::TabClosed>())
            if (const auto it = book_.records.find(closed->id); it != book_.records.end() && it->second.hasUserState())
                resolver_.release(it->second);
    keepAsLastSnapshot(std::move(current));
    if (changed || rekeyed) {
        Q_EMIT recordsChanged();
        scheduleSave();
    }
    logger_.debug("Applied %ld browser event(s)", qint64(events.size()));
}

void TabStore::revealTab(const QString &sessionTabID, const WindowList &windows) {
    const auto window = std::find_if(windows.begin(), windows.end(), [&](const SafariWindow &w) {
        return std::any_of(w.tabs.begin(), w.tabs.end(), [&](const SafariTab &t) { return t.id == sessionTabID; });
    });
    if (window == windows.end()) return;
    if (collapsedWindowIDs_.contains(window->id())) {
        auto ids = collapsedWindowIDs_;
        ids.erase(window->id());
        setCollapsedWindowIDs(std::move(ids));
    }
    TextViewMap<const std::optional<QString> *> parents;
    for (const auto &tab : window->tabs) parents.insert_or_assign(tab.id, &tab.parentID);
    const auto parentOf = [&](QStringView id) {
        const auto found = parents.find(id);
        return found != parents.end() ? *found->second : std::nullopt;
    };
    auto collapsed = collapsedTabIDs_;
    TextSet visited;
    auto ancestor = parentOf(sessionTabID);
    while (ancestor && parents.contains(*ancestor) && !visited.contains(*ancestor)) {
        visited.insert(*ancestor);
        collapsed.erase(*ancestor);
        ancestor = parentOf(*ancestor);
    }
    setCollapsedTabIDs(std::move(collapsed));
}

void TabStore::selectOnly(const QString &sessionTabID) { setSelection(TabSelection{{sessionTabID}, sessionTabID}); }

}  // namespace ondrake
