#pragma once

#include "Model/Identifiers.h"
#include "Model/TabRecord.h"

#include <QMultiHash>
#include <QSet>
#include <QString>

#include <optional>

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

private:
    QMultiHash<QString, Truth> pooled_;  // by address
    QSet<OndrakeID> known_;
};

}  // namespace ondrake::test
