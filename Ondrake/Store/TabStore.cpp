#include "TabStore.h"

#include <QPointer>

namespace ondrake {

TabStore::TabStore(BrowserAdapter &adapter, TabRecordFileStore persistence, Services services, QObject *parent)
    : QObject(parent),
      isCompact_(services.standardDefaults.boolForKey(kCompactKey)),
      scheduler_(services.scheduler),
      workspace_(services.workspace),
      permission_(services.permission),
      defaults_(services.standardDefaults),
      adapter_(adapter),
      persistence_(std::move(persistence)),
      faviconLoader_(std::make_unique<FaviconLoader>(services.paths, std::move(services.http), services.scheduler)),
      lastWindowScope_(currentWindowScope(services.standardDefaults)) {
    auto [loaded, outcome] = persistence_.load(scheduler_.wallNow());
    book_ = TabRecordBook(loaded.records, loaded.groups);
    recentlyClosed_ = loaded.recentlyClosed;
    settings_ = loaded.settings;

    // The loader is the store's own and never calls back once it is gone.
    faviconLoader_->setOnLoad([this](const QString &host, const QImage &icon) { storeFavicon(host, icon); });

    flags_ = std::make_unique<FeatureFlags>(loaded.featureOverrides, std::move(services.environment));
    // Any thread may change a flag; the store hears of it on the main thread.
    flags_->setOnChange([store = QPointer<TabStore>(this), &scheduler = scheduler_](const FeatureOverrides &) {
        scheduler.post([store] {
            if (!store) return;
            store->assign(store->flagsVersion_, store->flagsVersion_ + 1, &TabStore::flagsVersionChanged);
            store->scheduleSave();
        });
    });

    self_ = std::shared_ptr<TabRecordWriting>(static_cast<TabRecordWriting *>(this), [](TabRecordWriting *) {});
    commands_ = std::make_shared<TabCommands>(adapter_, *flags_, std::weak_ptr<TabRecordWriting>(self_), scheduler_);
    // A pass queued behind one that outlived the store has nothing left to refresh.
    coalescer_ = std::make_shared<RefreshCoalescer>([this, alive = lifetime()]() -> QCoro::Task<> {
        if (alive.expired()) return []() -> QCoro::Task<> { co_return; }();
        return refresh();
    });

    windowKeys_.continueAfter(loaded.records);
    resolver_.loadPool(loaded.records);
    logger_.info("Loaded %{public}ld record(s): %{public}s", qint64(loaded.records.size()), outcome.description());
    using Kind = TabRecordFileStore::LoadOutcome::Kind;
    if (outcome.kind == Kind::migrated || outcome.kind == Kind::recovered) scheduleSave();

    connect(&defaults_, &UserDefaults::didChange, this, &TabStore::userDefaultsChanged);
    watchReadInputs();
}

TabStore::~TabStore() { self_.reset(); }

// MARK: Published fields

void TabStore::setSelection(TabSelection selection) { assign(selection_, std::move(selection), &TabStore::selectionChanged); }

void TabStore::setCollapsedWindowIDs(StringSet ids) {
    assign(collapsedWindowIDs_, std::move(ids), &TabStore::collapsedWindowIDsChanged);
}

void TabStore::setCollapsedTabIDs(StringSet ids) { assign(collapsedTabIDs_, std::move(ids), &TabStore::collapsedTabIDsChanged); }

void TabStore::setRecentlyClosed(ClosedTabStack history) {
    if (assign(recentlyClosed_, std::move(history), &TabStore::recentlyClosedChanged)) scheduleSave();
}

void TabStore::setSettings(AppSettings settings) {
    const auto before = settings_.parentCloseBehavior;
    const bool behaviourChanged = settings.parentCloseBehavior != before;
    assign(settings_, std::move(settings), &TabStore::settingsChanged);
    if (behaviourChanged) scheduleSave();
}

void TabStore::storeFavicon(const QString &host, const QImage &image) {
    if (const auto *known = favicons_.find(host); known && *known == image) return;
    favicons_.insert(host, image);
    Q_EMIT faviconsChanged();
}

void TabStore::setBook(TabRecordBook book) {
    auto previous = std::exchange(book_, std::move(book));
    syncFromBook(previous.records, previous.groups);
}

void TabStore::releaseForReattachment(const TabRecord &record) { resolver_.release(record, true); }

void TabStore::addPendingRestores(const std::vector<PendingRestore> &restores) {
    pendingRestores_.insert(pendingRestores_.end(), restores.begin(), restores.end());
}

// MARK: Saving

void TabStore::syncFromBook(const RecordMap &previousRecords, const GroupMap &previousGroups) {
    const bool recordsChanged = book_.records != previousRecords;
    const bool groupsChanged = book_.groups != previousGroups;
    if (!recordsChanged && !groupsChanged) return;
    if (recordsChanged) Q_EMIT this->recordsChanged();
    if (groupsChanged) Q_EMIT this->groupsChanged();
    scheduleSave();
}

void TabStore::scheduleSave() {
    saveTimer_ = scheduler_.after(kSaveDelay, [this] { save(); });
}

void TabStore::save() {
    const auto now = scheduler_.wallNow();
    PersistedState document;
    document.featureOverrides = flags_->overrides();
    document.settings = settings_;
    document.recentlyClosed = recentlyClosed_;
    document.savedAt = now;

    auto pruned = book_;
    if (pruned.prune(now, TabRecordBook::kClosedRecordLifetime) > 0) setBook(std::move(pruned));
    document.records.reserve(book_.records.size());
    for (const auto &[_, record] : book_.records) document.records.push_back(record);
    for (const auto &[_, group] : book_.groups) document.groups.push_back(group);

    try {
        persistence_.save(document, now);
    } catch (const std::exception &error) {
        logger_.error("Could not save records: %{public}s", QString::fromUtf8(error.what()));
    }
}

// MARK: Window scope

TabStore::WindowList TabStore::listedWindows() const {
    return scopedWindows(currentWindowScope(defaults_), windowOrdering_.sorted(windows_));
}

void TabStore::applyWindowScope() {
    if (selection_.ids.empty() && !selection_.anchor) return;
    StringSet visible;
    for (const auto &window : listedWindows())
        for (const auto &tab : window.tabs) visible.insert(tab.id);
    auto next = selection_;
    std::erase_if(next.ids, [&](const QString &id) { return !visible.contains(id); });
    if (next.anchor && !visible.contains(*next.anchor)) next.anchor.reset();
    setSelection(std::move(next));
}

void TabStore::userDefaultsChanged() {
    const auto scope = currentWindowScope(defaults_);
    if (scope == lastWindowScope_) return;
    lastWindowScope_ = scope;
    assign(presentationRevision_, presentationRevision_ + 1, &TabStore::presentationRevisionChanged);
    applyWindowScope();
}

std::vector<OndrakeID> TabStore::recordIDs(const std::vector<SafariTab> &tabs) const {
    std::vector<OndrakeID> ids;
    ids.reserve(tabs.size());
    for (const auto &tab : tabs)
        if (const auto *id = ondrakeIDs_.find(tab.id)) ids.push_back(*id);
    return ids;
}

}  // namespace ondrake
