#pragma once

#include "BrowserActions.h"
#include "Model/Identifiers.h"
#include "Model/TabRecord.h"

#include <QMultiHash>
#include <QSet>
#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

namespace ondrake::test {

// What a randomised run knows of one tab, kept by its position in the browser's window.
struct Truth {
    std::optional<OndrakeID> id;  // until first seen, none
    bool locked = false;
    bool important = false;
};

// The ground truth's side of a randomised run's check: whether the record a shown tab carries is the
// one the run expects there. A marked record of a closed tab waits for a tab of its page, as the
// pool keeps it; any other tab new to the sidebar must carry a record never seen before.
class RecordLedger {
public:
    void closed(const QString &url, const Truth &truth) {
        if (truth.locked || truth.important) pooled_.insert(url, truth);
    }

    // Checks the tab at a place the run keeps `truth` for, showing `url` with `record`; the truth
    // then follows what is shown, so that one fault is counted once. Returns whether it was wrong.
    bool misplaced(Truth &truth, const TabRecord &record, const QString &url) {
        bool wrong = false;
        if (!truth.id) {
            bool fromPool = false;
            for (auto it = pooled_.find(url); it != pooled_.end() && it.key() == url; ++it)
                if (it->id == record.id) {
                    truth = *it;
                    pooled_.erase(it);
                    fromPool = true;
                    break;
                }
            wrong = !fromPool && known_.contains(record.id);
            truth.id = record.id;
            known_.insert(record.id);
        }
        if (*truth.id != record.id || truth.locked != record.locked || truth.important != record.important) {
            wrong = true;
            truth = {record.id, record.locked, record.important};
        }
        return wrong;
    }

    // The truth of a window's tabs after a poll: where every reading agrees which tab of the last
    // poll (`was`, showing `pages`) a tab now is, that tab's truth; where every one opens it, none
    // yet; elsewhere the record it shows (`now`). A record that no tab shows any more (`shown`)
    // closed, and waits for its page when marked.
    std::vector<Truth> read(const std::vector<Truth> &was, const std::vector<Shows> &pages, const std::vector<Origins> &readings,
                            const std::vector<const TabRecord *> &now, const QSet<OndrakeID> &shown) {
        const auto agreed = agreedPlaces(readings, was.size());
        std::vector<std::optional<Truth>> next(now.size());
        for (std::size_t p = 0; p < was.size(); ++p) {
            if (agreed[p] && *agreed[p]) next[**agreed[p]] = was[p];
            else if (was[p].id && !shown.contains(*was[p].id)) closed(pages[p].url, was[p]);
        }
        std::vector<Truth> out;
        for (std::size_t t = 0; t < now.size(); ++t) {
            const bool opened = !readings.empty() && std::all_of(readings.begin(), readings.end(), [&](const Origins &o) { return !o[t]; });
            out.push_back(next[t] ? *next[t] : opened ? Truth{} : Truth{now[t]->id, now[t]->locked, now[t]->important});
        }
        return out;
    }

private:
    QMultiHash<QString, Truth> pooled_;  // by address
    QSet<OndrakeID> known_;
};

}  // namespace ondrake::test
