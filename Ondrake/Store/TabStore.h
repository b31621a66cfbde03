#pragma once

#include "Store/CommandOutcome.h"
#include "Store/FaviconLoader.h"
#include "Store/SidebarLayout.h"
#include "Store/SidebarViewMode.h"
#include "Store/SidebarWindowOrdering.h"
#include "Store/SidebarWindowScope.h"
#include "Store/TabCommands.h"
#include "Store/TabRecordLookup.h"
#include "Store/TabRecordWriting.h"
#include "Store/TabSearch.h"
#include "Store/TabSelection.h"
#include "Store/TabViewSection.h"

#include "Async.h"
#include "Browser/AutomationPermission.h"
#include "Browser/BrowserAdapter.h"
#include "Log.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Ondrake/Model/TabRecordFileStore.h"
#include "Scheduler.h"
#include "Sync/PendingRestore.h"
#include "Sync/ResolvedSnapshot.h"
#include "Sync/SidebarState.h"
#include "Sync/TabEventDiffer.h"
#include "Sync/TabIdentityResolver.h"
#include "Sync/TabPoller.h"
#include "Sync/RefreshCoalescer.h"
#include "Sync/WindowKeys.h"
#include "UserDefaults.h"
#include "Workspace.h"
#include "Ondrake/Model/OndrakeArchive.h"
#include "Store/TabDropPlan.h"

#include "Platform/SharedTextMap.h"
#include "Platform/TextHash.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

// The one observable object of the application: the browser's windows as last polled, the
// records and groups, the sidebar's state and what the user selected, and the saving of the
// record file. Every published property changes only when its value differs, so a poll that finds
// nothing new notifies nobody and writes nothing. Main thread only. A refresh, command or window
// move it started may still be waiting for the browser when the store goes: it then ends without
// touching the store or the browser again.
class TabStore final : public QObject, public PolledStore, public TabRecordWriting {
    Q_OBJECT
public:
    using WindowList = std::vector<SafariWindow>;
    using RecordMap = std::map<OndrakeID, TabRecord>;
    using GroupMap = std::map<TabGroupID, TabGroup>;
    using FaviconMap = SharedTextMap<QImage>;
    using StringSet = TextSet;
    using OptionalText = std::optional<QString>;

    Q_PROPERTY(WindowList windows READ windows NOTIFY windowsChanged)
    Q_PROPERTY(ondrake::SidebarState state READ state NOTIFY stateChanged)
    Q_PROPERTY(OptionalText error READ error NOTIFY errorChanged)
    Q_PROPERTY(StringSet collapsedWindowIDs READ collapsedWindowIDs NOTIFY collapsedWindowIDsChanged)
    Q_PROPERTY(StringSet collapsedTabIDs READ collapsedTabIDs NOTIFY collapsedTabIDsChanged)
    Q_PROPERTY(FaviconMap favicons READ favicons NOTIFY faviconsChanged)
    Q_PROPERTY(RecordMap records READ records NOTIFY recordsChanged)
    Q_PROPERTY(GroupMap groups READ groups NOTIFY groupsChanged)
    Q_PROPERTY(ondrake::TabIdentityMapping ondrakeIDs READ ondrakeIDs NOTIFY ondrakeIDsChanged)
    Q_PROPERTY(ondrake::TabSelection selection READ selection NOTIFY selectionChanged)
    Q_PROPERTY(OptionalText lastActionSummary READ lastActionSummary NOTIFY lastActionSummaryChanged)
    Q_PROPERTY(ondrake::SidebarViewMode viewMode READ viewMode NOTIFY viewModeChanged)
    Q_PROPERTY(bool isCompact READ isCompact NOTIFY isCompactChanged)
    Q_PROPERTY(bool isSearchActive READ isSearchActive NOTIFY isSearchActiveChanged)
    Q_PROPERTY(QString searchQuery READ searchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(int searchSelectedIndex READ searchSelectedIndex NOTIFY searchSelectedIndexChanged)
    Q_PROPERTY(int searchFocusToken READ searchFocusToken NOTIFY searchFocusTokenChanged)
    Q_PROPERTY(OptionalText newTabScrollTargetID READ newTabScrollTargetID NOTIFY newTabScrollTargetIDChanged)
    Q_PROPERTY(ondrake::ClosedTabStack recentlyClosed READ recentlyClosed NOTIFY recentlyClosedChanged)
    Q_PROPERTY(ondrake::AppSettings settings READ settings NOTIFY settingsChanged)
    Q_PROPERTY(int presentationRevision READ presentationRevision NOTIFY presentationRevisionChanged)
    Q_PROPERTY(int flagsVersion READ flagsVersion NOTIFY flagsVersionChanged)

public:
    // Wait after the last change before the record file is written.
    static constexpr Seconds kSaveDelay{2};
    static inline const QString kCompactKey = QStringLiteral("SidebarIsCompact");

    // The platform services the store asks; each must outlive it.
    struct Services {
        Scheduler &scheduler;
        const Workspace &workspace;
        AutomationPermission &permission;
        UserDefaults &standardDefaults;
        Paths paths;  // the favicon cache lives under its caches folder
        std::shared_ptr<HttpClient> http;
        Environment environment = FeatureFlags::processEnvironment();
    };

    // Loads the record file; a migrated or recovered file is written back two seconds later.
    TabStore(BrowserAdapter &adapter, TabRecordFileStore persistence, Services services, QObject *parent = nullptr);
    ~TabStore() override;

    // Published state.
    const WindowList &windows() const { return windows_; }
    SidebarState state() const override { return state_; }
    const OptionalText &error() const { return error_; }
    const StringSet &collapsedWindowIDs() const { return collapsedWindowIDs_; }
    const StringSet &collapsedTabIDs() const { return collapsedTabIDs_; }
    const FaviconMap &favicons() const { return favicons_; }
    // The book's own records and groups: published as they change, never copied.
    const RecordMap &records() const { return book_.records; }
    const GroupMap &groups() const { return book_.groups; }
    const TabIdentityMapping &ondrakeIDs() const { return ondrakeIDs_; }
    const TabSelection &selection() const { return selection_; }
    const OptionalText &lastActionSummary() const { return lastActionSummary_; }
    SidebarViewMode viewMode() const { return viewMode_; }
    bool isCompact() const { return isCompact_; }
    bool isSearchActive() const { return isSearchActive_; }
    const QString &searchQuery() const { return searchQuery_; }
    int searchSelectedIndex() const { return searchSelectedIndex_; }
    int searchFocusToken() const { return searchFocusToken_; }
    const OptionalText &newTabScrollTargetID() const { return newTabScrollTargetID_; }
    const ClosedTabStack &recentlyClosed() const override { return recentlyClosed_; }
    const AppSettings &settings() const override { return settings_; }
    int presentationRevision() const { return presentationRevision_; }
    int flagsVersion() const { return flagsVersion_; }

    void setSelection(TabSelection selection);
    void setCollapsedWindowIDs(StringSet ids);
    void setCollapsedTabIDs(StringSet ids);
    void setRecentlyClosed(ClosedTabStack history) override;
    void setSettings(AppSettings settings);
    // A favicon arrived for the host.
    void storeFavicon(const QString &host, const QImage &image);

    // The records and groups being worked on; every write republishes what changed and saves.
    const TabRecordBook &book() const override { return book_; }
    void setBook(TabRecordBook book) override;
    void releaseForReattachment(const TabRecord &record) override;

    FeatureFlags &flags() { return *flags_; }
    TabCommands &commands() { return *commands_; }
    BrowserAdapter &adapter() { return adapter_; }
    const TabIdentityResolver &resolver() const { return resolver_; }
    FaviconLoader &faviconLoader() { return *faviconLoader_; }
    const SidebarWindowOrdering &windowOrdering() const { return windowOrdering_; }
    const std::vector<PendingRestore> &pendingRestores() const { return pendingRestores_; }
    // Reopened tabs to be put back in place once they show up.
    void addPendingRestores(const std::vector<PendingRestore> &restores);
    int pendingNewTabScrollPolls() const { return pendingNewTabScrollPolls_; }
    // The New Tab button: the tab it asks for may take the sidebar's scroll for that many polls.
    void setPendingNewTabScrollPolls(int polls) { pendingNewTabScrollPolls_ = polls; }
    // Set by the application; called by whoever has just brought a browser window to the front.
    std::function<void()> onBrowserWindowRaised = [] {};

    // MARK: Tab actions, closing, history, read later, export and import
    // Each picks its tabs, asks the commands or the browser, and says what came of it in at most
    // one summary line.

    // Refreshes afterwards, whatever the browser made of the move.
    QCoro::Task<> moveTabs(TabDropPlan plan);
    // These act on the clicked tab's targets; all of them get the opposite of the clicked tab's mark.
    void toggleImportant(const SafariTab &clicked);
    void toggleLocked(const SafariTab &clicked);
    void markRead(const SafariTab &clicked);
    QCoro::Task<> togglePinned(bool pinned, std::vector<SafariTab> tabs);
    QCoro::Task<> toggleMuted(bool muted, std::vector<SafariTab> tabs);
    QCoro::Task<> muteSubtree(bool muted, SafariTab tab);
    // The name is trimmed; a blank one makes no group.
    std::optional<TabGroup> createGroup(const QString &name, const std::vector<SafariTab> &tabs);
    // No group files the tabs out of theirs.
    void assignGroup(const std::optional<TabGroupID> &groupID, const std::vector<SafariTab> &tabs);
    void renameGroup(const TabGroupID &id, const QString &name);
    void deleteGroup(const TabGroup &group);
    // One place up (-1) or down (+1) in display order; the ends do not wrap.
    void moveGroup(const TabGroupID &id, int step);

    // Keeps locked tabs, and pinned nested ones; the rows go at once, before the browser answers.
    QCoro::Task<> closeTabs(std::vector<SafariTab> tabs);
    QCoro::Task<> reopenLastClosed();
    // The batch leaves the history, and comes back as the newest when nothing reopened.
    QCoro::Task<> reopen(ClosedTabBatch batch);
    QCoro::Task<> openReadLater(OndrakeID id, bool markRead);
    void markReadLaterItemRead(const OndrakeID &id);
    void setParentCloseBehavior(ParentCloseBehavior behavior);
    static OptionalText closeSummary(const TabCommands::CloseResult &result);
    static OptionalText lockSummary(bool locked, int count);

    // What an export covers.
    struct ExportScope {
        enum class Kind { group, selectedTabs, currentWindow, allData };
        Kind kind = Kind::allData;
        std::optional<TabGroupID> groupID;  // group only

        static ExportScope group(TabGroupID id) { return {Kind::group, id}; }
        static ExportScope selectedTabs() { return {Kind::selectedTabs, std::nullopt}; }
        static ExportScope currentWindow() { return {Kind::currentWindow, std::nullopt}; }
        static ExportScope allData() { return {Kind::allData, std::nullopt}; }
        bool operator==(const ExportScope &) const = default;
    };
    OndrakeArchive exportArchive(const ExportScope &scope) const;
    // Stores what the archive holds and opens, by the mode, the web pages that were open at
    // export; any other address stays a closed record.
    QCoro::Task<> importArchive(OndrakeArchive archive, OndrakeArchive::ImportMode mode);
    // The groups the records are filed in, in display order.
    std::vector<TabGroup> exportedGroups(const std::vector<TabRecord> &records) const;
    // By index (none last), then creation, then identity.
    static bool exportSortOrder(const TabRecord &a, const TabRecord &b);
    // MARK: End of tab actions, closing, history, read later, export and import

    // Saving.
    void syncFromBook(const RecordMap &previousRecords, const GroupMap &previousGroups);
    void scheduleSave();
    bool hasPendingSave() const { return saveTimer_.isActive(); }
    // The pending save will not happen; the application saves itself at quit.
    void cancelPendingSave() { saveTimer_.cancel(); }
    // Writes the record file now, dropping closed records that have expired.
    void save();

    // Refreshing. Every caller goes through requestRefresh: passes never overlap, and requests
    // made during one fold into one more.
    QCoro::Task<> requestRefresh() override;
    bool isRefreshing() const { return coalescer_->isRefreshing(); }
    void reportAdapterError(const SafariControllerError &error);
    void browserQuit();
    void publish(WindowList windows, const SidebarState &state);
    void applyBrowserEvents(const WindowList &windows);
    void revealTab(const QString &sessionTabID, const WindowList &windows);
    void selectOnly(const QString &sessionTabID);

    // Windows: the ones the sidebar lists, in its fixed order and cut to the window scope.
    WindowList listedWindows() const;
    void applyWindowScope();
    std::vector<OndrakeID> recordIDs(const std::vector<SafariTab> &tabs) const;

    // Room for the sidebar beside the browser's front window.
    QCoro::Task<> reserveSpace(double minLeft, double maxRight);
    QCoro::Task<> setLeftEdge(double newLeft);
    void rememberDisplacedWindow(const SafariWindowFrameChange &change);
    // Puts each moved window back, provided it still stands where it was left.
    QCoro::Task<> restoreDisplacedWindows();
    // For the quit: no window is moved aside from now on, since none may be left moved once the
    // application has ended.
    void closeWindowRoom() { windowRoomClosed_ = true; }
    // Ends once every move asked of the browser so far has been answered and remembered.
    QCoro::Task<> windowMovesAnswered() const { return windowMoves_.idle(); }
    const std::map<std::int64_t, SafariWindowFrameChange> &displacedWindows() const { return displacedWindows_; }
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t windowID);

    // MARK: Reads, selection and search
    // What the views ask between polls. Every read answers for the published fields as they are
    // (what it keeps between calls is dropped when the tabs, records or scope change); writes
    // publish only what changed.

    // The record bound to the tab's session id; valid until the records next change.
    const TabRecord *record(const QString &sessionTabID) const;
    TabRecordLookup recordLookup() const;
    // By sort index; equal indices by identity.
    std::vector<TabGroup> sortedGroups() const;
    std::optional<QString> groupName(const QString &sessionTabID) const;

    // The tree arrangement of the listed windows: pinned tabs, group sections, windows.
    SidebarLayout::Sections layout() const;
    // Whether window sections carry a heading.
    bool windowSections() const;
    // The flat arrangement's sections; none in the tree arrangement.
    std::vector<TabViewSection> modeSections() const;
    // The tab ids the sidebar shows, top to bottom, in the current arrangement.
    std::vector<QString> displayOrder() const;
    // What a row action applies to: the visible selection when the clicked tab is part of it and
    // it holds two or more, in the browser's window order; else the clicked tab alone.
    std::vector<SafariTab> targets(const SafariTab &clicked) const;

    void setViewMode(SidebarViewMode mode);
    void select(const QString &sessionTabID, SidebarModifiers modifiers);
    void clearSelection();
    std::vector<SafariTab> selectedTabs() const;
    template<typename Change>
    void updateSelection(Change &&change) {
        auto copy = selection_;
        change(copy);
        setSelection(std::move(copy));
    }
    void selectAll();

    void toggleSearch();
    // The search field is shown and asked to take the keyboard.
    void focusSearch();
    void endSearch();
    // Escape: clears the text first, closes the field on the second press.
    void closeSearch();
    void setSearchQuery(const QString &query);
    std::vector<SafariTab> searchResults() const;
    TabSearch::Document searchDocument(const SafariTab &tab) const;
    std::optional<SafariTab> activateSearchSelection() const;
    // Wraps around at both ends.
    void moveSearchSelection(int step);

    // Nothing clears the line but the next announcement or row click.
    void announce(const OptionalText &summary);
    void setCompact(bool compact);
    void toggleCollapsed(const QString &sessionTabID);
    void toggleWindowCollapsed(std::int64_t windowID);
    bool isWindowCollapsed(std::int64_t windowID) const;
    void clearNewTabScrollTarget(const QString &sessionTabID);

    // Runs the operation; an error goes to reportAdapterError and yields nothing.
    QCoro::Task<std::optional<CommandOutcome>> performReportingErrors(QCoro::Task<CommandOutcome> operation);
    // Throws the adapter's error.
    QCoro::Task<CommandOutcome> activate(SafariTab tab);
    // The front window, else the first; nothing without windows.
    std::optional<SafariWindow> newTabWindow() const;
    // Opens the Favorites page in the window; throws the adapter's error. The caller refreshes.
    QCoro::Task<CommandOutcome> openNewTab(std::int64_t windowID);
    // MARK: End of reads, selection and search

Q_SIGNALS:
    void windowsChanged();
    void stateChanged();
    void errorChanged();
    void collapsedWindowIDsChanged();
    void collapsedTabIDsChanged();
    void faviconsChanged();
    void recordsChanged();
    void groupsChanged();
    void ondrakeIDsChanged();
    void selectionChanged();
    void lastActionSummaryChanged();
    void viewModeChanged();
    void isCompactChanged();
    void isSearchActiveChanged();
    void searchQueryChanged();
    void searchSelectedIndexChanged();
    void searchFocusTokenChanged();
    void newTabScrollTargetIDChanged();
    void recentlyClosedChanged();
    void settingsChanged();
    void presentationRevisionChanged();
    void flagsVersionChanged();

private:
    QCoro::Task<> refresh();
    QCoro::Task<> displaceWindow(QCoro::Task<std::optional<SafariWindowFrameChange>> move);
    // A snapshot from a session the store has not seen end: take the quit path first, so that
    // the new session's tabs reattach to the records instead of doubling them.
    void followBrowserSession();
    QCoro::Task<> placePendingRestores();
    QCoro::Task<> nestLinkedTabs();
    QCoro::Task<> restoreReattachedNesting();
    QCoro::Task<bool> performMoves(std::vector<SafariTabMove> moves, QString failureMessage);
    // One more look after moving tabs, so the sidebar shows the result at once; failures wait
    // for the next poll.
    QCoro::Task<> republishAfterMoves();
    void userDefaultsChanged();
    void reportError(const std::exception &error);

    template<typename T, typename Signal>
    bool assign(T &field, T value, Signal signal) {
        if (field == value) return false;
        field = std::move(value);
        Q_EMIT(this->*signal)();
        return true;
    }

    // Published.
    WindowList windows_;
    SidebarState state_ = SidebarState::loading();
    OptionalText error_;
    StringSet collapsedWindowIDs_;
    StringSet collapsedTabIDs_;
    FaviconMap favicons_;
    TabIdentityMapping ondrakeIDs_;
    TabSelection selection_;
    OptionalText lastActionSummary_;
    SidebarViewMode viewMode_ = SidebarViewMode::tree;
    bool isCompact_ = false;
    bool isSearchActive_ = false;
    QString searchQuery_;
    int searchSelectedIndex_ = 0;
    int searchFocusToken_ = 0;
    OptionalText newTabScrollTargetID_;
    int pendingNewTabScrollPolls_ = 0;
    TabRecordBook book_;
    ClosedTabStack recentlyClosed_;
    AppSettings settings_;

    // Working state.
    Scheduler &scheduler_;
    const Workspace &workspace_;
    AutomationPermission &permission_;
    UserDefaults &defaults_;
    BrowserAdapter &adapter_;
    const Logger logger_{QStringLiteral("TabStore")};
    TabRecordFileStore persistence_;
    std::unique_ptr<FeatureFlags> flags_;
    std::unique_ptr<FaviconLoader> faviconLoader_;
    TabIdentityResolver resolver_;
    WindowKeys windowKeys_;
    TabEventDiffer differ_;
    ResolvedTabCache resolvedTabs_;
    ResolvedSnapshot lastSnapshot_{{}, {}, true};
    bool hasReceivedBrowserSnapshot_ = false;
    std::optional<std::uint64_t> browserSession_;
    // Shared with the requests in flight, which may outlive the store.
    std::shared_ptr<RefreshCoalescer> coalescer_;
    TimerHandle saveTimer_;
    std::map<std::int64_t, SafariWindowFrameChange> displacedWindows_;
    bool windowRoomClosed_ = false;
    OperationsInFlight windowMoves_;
    std::vector<PendingRestore> pendingRestores_;
    // Reattached tabs whose stored parent stands before them in their window, to be nested again.
    std::vector<SafariTabMove> pendingRelinks_;
    SidebarWindowOrdering windowOrdering_;
    SidebarWindowScope lastWindowScope_;
    int presentationRevision_ = 0;
    int flagsVersion_ = 0;
    // The commands' weak view of the store: expires when the store goes.
    std::shared_ptr<TabRecordWriting> self_;
    // What an operation resumed by the browser looks at before it touches the store.
    std::weak_ptr<const TabRecordWriting> lifetime() const { return self_; }
    std::shared_ptr<TabCommands> commands_;

    // MARK: Reads, selection and search (private)
    // What the arrangements need of each bound record, kept apart from the records so that a long
    // list reads one small table instead of chasing the record map per row. Values, never
    // pointers into the book: a book replaced by an equal one announces nothing.
    struct RowFacts {
        bool pinned = false;
        std::optional<TabGroupID> groupID;
        QDateTime createdAt;
    };
    using RowFactsBySession = TextMap<RowFacts>;
    const RowFactsBySession &rowFacts() const;
    mutable std::optional<RowFactsBySession> rowFacts_;
    std::vector<SafariTab> listedTabs() const;

    // The search documents of the listed tabs, made once per change of the tabs, records,
    // groups or window scope, never per keystroke; the last query's matches beside them.
    struct SearchCache {
        SidebarWindowScope scope = SidebarWindowScope::activeWindow;
        std::vector<std::int64_t> windowOrder;
        std::vector<SafariTab> tabs;
        std::vector<TabSearch::Document> documents;
        std::optional<QString> query;
        std::vector<std::size_t> matches;  // into `tabs`, best first
        TabSearch::Index index{};
    };
    // The texts of each listed tab's address, kept across rebuilds of the search documents:
    // making them is most of a rebuild's cost, and a poll changes few addresses.
    struct SearchAddress {
        std::optional<QUrl> url;
        QString text;
        QString domain;
    };
    mutable TextMap<SearchAddress> searchAddresses_;
    TabSearch::Document searchDocument(const SafariTab &tab, const QString &url, const QString &domain) const;
    const SearchCache &searchCache() const;
    const std::vector<std::size_t> &searchMatches() const;
    mutable std::optional<SearchCache> searchCache_;
    void watchReadInputs();
    // MARK: End of reads, selection and search (private)
};

}  // namespace ondrake
