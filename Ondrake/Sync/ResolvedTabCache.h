#pragma once

#include "Sync/ResolvedTab.h"
#include "Sync/TabIdentityMapping.h"

#include "Browser/SafariTab.h"
#include "Ondrake/Model/Identifiers.h"

#include "Platform/TextHash.h"

#include <QHash>

#include <QString>
#include <QUrl>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace ondrake {

// What the last poll resolved, tab by tab in poll order. A poll mostly repeats the last one, so a
// tab is looked for at its own position first, and only then among the last poll's tabs by
// session id. While the identity mapping is the same, a tab found there keeps its identity and
// its parent's without a lookup in the mapping; while its address is the same, it keeps the
// address's text, which costs more to write out than all the rest of a tab's resolution.
class ResolvedTabCache {
public:
    struct Entry {
        QString sessionTabID;  // null when the slot holds nothing
        std::optional<OndrakeID> id;  // none when the mapping has no entry for the tab
        std::optional<QString> parentSessionID;
        std::optional<OndrakeID> parentID;  // none without a parent or when it has no entry
        std::optional<QUrl> url;
        QString urlText;  // absolute text of `url`
    };

    // A poll of that many tabs, resolved with the mapping, is about to be read.
    void beginPoll(const TabIdentityMapping &mapping, std::size_t tabCount);
    // The next tab of the poll being read, in poll order.
    const Entry &resolve(const SafariTab &tab);
    // The poll is read: what it held is what the next one looks at.
    void finishPoll();
    // Tabs the last poll held.
    std::size_t size() const { return last_.size(); }

    // The tabs of a snapshot the caller is done with. The next snapshot is written over them, so
    // a tab that holds there what it is to hold costs no copy of its texts.
    void recycle(std::vector<ResolvedTab> tabs) { recycled_ = std::move(tabs); }
    std::vector<ResolvedTab> takeRecycled() { return std::exchange(recycled_, {}); }

private:
    // Brings the entry up to date with the tab; `found` when it is the tab's entry of the last poll.
    void update(Entry &entry, const SafariTab &tab, bool found) const;
    Entry *lastEntry(const QString &sessionTabID);

    // The last poll's entries by position. While every tab of this poll stands where it stood,
    // they are brought up to date where they lie; at the first one that does not, the poll is
    // gathered in current_ instead, and an entry taken over from here is left empty.
    std::vector<Entry> last_;
    std::vector<Entry> current_;
    bool inPlace_ = true;
    std::size_t next_ = 0;  // position of the next tab
    std::size_t tabCount_ = 0;
    QHash<TextKey, std::size_t> lastIndex_;  // of last_ by session id, built on first need
    bool indexed_ = false;
    TabIdentityMapping mapping_;  // the one the entries of last_ were resolved with
    bool sameMapping_ = false;
    std::vector<ResolvedTab> recycled_;
};

}  // namespace ondrake
