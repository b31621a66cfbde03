#include "ResolvedTabCache.h"

#include "Browser/BrowserURL.h"

#include <algorithm>
#include <utility>

namespace ondrake {

namespace {
bool holds(const ResolvedTabCache::Entry &entry, const QString &sessionTabID) {
    return !entry.sessionTabID.isNull() && entry.sessionTabID == sessionTabID;
}
}  // namespace

void ResolvedTabCache::beginPoll(const TabIdentityMapping &mapping, std::size_t tabCount) {
    // Shared means unchanged: a mapping is copied before it is written to.
    sameMapping_ = mapping_.isSharedWith(mapping);
    mapping_ = mapping;
    inPlace_ = true;
    next_ = 0;
    tabCount_ = tabCount;
    indexed_ = false;
}

void ResolvedTabCache::update(Entry &entry, const SafariTab &tab, bool found) const {
    const bool known = found && sameMapping_;
    if (!found) entry.sessionTabID = tab.id;
    if (!known) entry.id = identityOf(mapping_, tab.id);
    if (!known || entry.parentSessionID != tab.parentID) {
        entry.parentSessionID = tab.parentID;
        entry.parentID = identityOf(mapping_, tab.parentID);
    }
    if (!found || !sameURL(entry.url, tab.url)) {
        entry.url = tab.url;
        entry.urlText = tab.url ? absoluteText(*tab.url) : QString();
    }
}

ResolvedTabCache::Entry *ResolvedTabCache::lastEntry(const QString &sessionTabID) {
    if (!indexed_) {
        lastIndex_.clear();
        lastIndex_.reserve(qsizetype(last_.size()));
        for (std::size_t i = 0; i < last_.size(); ++i)
            if (!last_[i].sessionTabID.isNull()) lastIndex_.insert(last_[i].sessionTabID, i);
        indexed_ = true;
    }
    const auto found = lastIndex_.constFind(sessionTabID);
    // Taken over already when a poll repeats a session id: the later tab is resolved afresh.
    return found != lastIndex_.cend() && holds(last_[*found], sessionTabID) ? &last_[*found] : nullptr;
}

const ResolvedTabCache::Entry &ResolvedTabCache::resolve(const SafariTab &tab) {
    const std::size_t position = next_++;
    if (inPlace_) {
        if (position < last_.size() && holds(last_[position], tab.id)) {
            update(last_[position], tab, true);
            return last_[position];
        }
        inPlace_ = false;
        current_.clear();
        current_.resize(std::max(tabCount_, position + 1));
        for (std::size_t i = 0; i < position; ++i) current_[i] = std::exchange(last_[i], Entry{});
    }
    if (current_.size() <= position) current_.resize(position + 1);
    auto &slot = current_[position];
    Entry *last = position < last_.size() && holds(last_[position], tab.id) ? &last_[position] : lastEntry(tab.id);
    // Taken over by moving, so its shared values are handed on untouched.
    if (last) slot = std::exchange(*last, Entry{});
    update(slot, tab, last != nullptr);
    return slot;
}

void ResolvedTabCache::finishPoll() {
    if (inPlace_) {
        // Tabs past the end of this poll are gone.
        last_.resize(std::min(last_.size(), next_));
        return;
    }
    current_.resize(next_);
    // The buffers change places, so a poll allocates little once the number of tabs settles.
    std::swap(last_, current_);
    current_.clear();
}

}  // namespace ondrake
