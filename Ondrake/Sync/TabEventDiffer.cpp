#include "TabEventDiffer.h"

#include <QHash>
#include <QHashFunctions>
#include <QSet>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

namespace ondrake {

bool canonicallyEqual(const QString &a, const QString &b) {
    if (a == b) return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool canonicallyEqual(const std::optional<QString> &a, const std::optional<QString> &b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || canonicallyEqual(*a, *b);
}

namespace {

constexpr std::ptrdiff_t kAbsent = -1;
constexpr std::ptrdiff_t kRepeated = -2;  // a later tab with an identity seen before in the same list

// Each identity's first position in a list of tabs. Open addressing over one flat array: a poll
// of thousands of tabs builds it afresh, and a lookup reads one place in memory instead of
// following a node.
class FirstPositions {
public:
    explicit FirstPositions(std::size_t count) {
        std::size_t capacity = 16;
        while (capacity < count + count / 3) capacity *= 2;
        slots_.resize(capacity);
        mask_ = capacity - 1;
    }

    // False when the identity has a position already, which it keeps.
    bool insert(const OndrakeID &id, std::size_t position) {
        auto &slot = slots_[find(id)];
        if (slot.position != 0) return false;
        slot = Slot{id.rawValue(), std::uint32_t(position + 1)};
        return true;
    }

    std::optional<std::size_t> position(const OndrakeID &id) const {
        const auto &slot = slots_[find(id)];
        if (slot.position == 0) return std::nullopt;
        return slot.position - 1;
    }

private:
    struct Slot {
        QUuid key;
        std::uint32_t position = 0;  // 1-based; 0 marks a free slot
    };

    // The slot that holds the identity, or the free one where it belongs.
    std::size_t find(const OndrakeID &id) const {
        std::size_t i = qHash(id, seed_) & mask_;
        while (slots_[i].position != 0 && slots_[i].key != id.rawValue()) i = (i + 1) & mask_;
        return i;
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t seed_ = QHashSeed::globalSeed();
};

}  // namespace

std::vector<TabEvent> TabEventDiffer::diff(const std::vector<ResolvedTab> &previousTabs,
                                           const std::vector<std::int64_t> &previousWindowIDs,
                                           const std::vector<ResolvedTab> &currentTabs,
                                           const std::vector<std::int64_t> &currentWindowIDs,
                                           bool browserWasRunning) const {
    std::vector<TabEvent> events;
    if (!browserWasRunning) return events;

    // Each identity's first previous tab. A poll mostly repeats the last one, so a current tab is
    // first looked for at its own position, and only then in the index.
    FirstPositions previousIndex(previousTabs.size());
    std::vector<bool> firstOfItsIdentity(previousTabs.size(), false);
    for (std::size_t p = 0; p < previousTabs.size(); ++p) firstOfItsIdentity[p] = previousIndex.insert(previousTabs[p].ondrakeID, p);
    const std::unordered_set<std::int64_t> previousWindows(previousWindowIDs.begin(), previousWindowIDs.end());
    const std::unordered_set<std::int64_t> currentWindows(currentWindowIDs.begin(), currentWindowIDs.end());

    // For each current tab: where it stood before, kAbsent when new, kRepeated when it is to be ignored.
    std::vector<std::ptrdiff_t> before(currentTabs.size(), kAbsent);
    std::vector<bool> stillThere(previousTabs.size(), false);
    QSet<OndrakeID> newIdentities;
    for (std::size_t i = 0; i < currentTabs.size(); ++i) {
        const auto &id = currentTabs[i].ondrakeID;
        std::ptrdiff_t p = kAbsent;
        if (i < previousTabs.size() && firstOfItsIdentity[i] && previousTabs[i].ondrakeID == id) {
            p = std::ptrdiff_t(i);
        } else if (const auto found = previousIndex.position(id)) {
            p = std::ptrdiff_t(*found);
        }
        if (p == kAbsent) {
            if (newIdentities.contains(id)) before[i] = kRepeated;
            else newIdentities.insert(id);
            continue;
        }
        if (stillThere[std::size_t(p)]) {
            before[i] = kRepeated;
            continue;
        }
        stillThere[std::size_t(p)] = true;
        before[i] = p;
    }

    std::unordered_set<std::int64_t> told;  // a window listed twice is told of once
    for (const auto id : currentWindowIDs)
        if (!previousWindows.contains(id) && told.insert(id).second) events.push_back(TabEvent::windowOpened(id));

    for (std::size_t i = 0; i < currentTabs.size(); ++i)
        if (before[i] == kAbsent) events.push_back(TabEvent::tabCreated(currentTabs[i].ondrakeID));

    for (std::size_t i = 0; i < currentTabs.size(); ++i) {
        if (before[i] < 0) continue;
        const auto &p = previousTabs[std::size_t(before[i])];
        const auto &c = currentTabs[i];
        const auto &id = c.ondrakeID;
        if (!canonicallyEqual(p.url, c.url)) events.push_back(TabEvent::urlChanged(id, p.url, c.url));
        if (!canonicallyEqual(p.title, c.title)) events.push_back(TabEvent::titleChanged(id, p.title, c.title));
        if (p.windowID != c.windowID)
            events.push_back(TabEvent::tabMovedToWindow(id, p.windowID, c.windowID));
        else if (p.index != c.index)
            events.push_back(TabEvent::tabReordered(id, p.index, c.index));
        if (p.parentOndrakeID != c.parentOndrakeID)
            events.push_back(TabEvent::parentChanged(id, p.parentOndrakeID, c.parentOndrakeID));
    }

    for (std::size_t i = 0; i < currentTabs.size(); ++i) {
        if (before[i] < 0) continue;
        if (previousTabs[std::size_t(before[i])].isActive && !currentTabs[i].isActive)
            events.push_back(TabEvent::tabDeactivated(currentTabs[i].ondrakeID));
    }

    for (std::size_t i = 0; i < currentTabs.size(); ++i) {
        if (before[i] == kRepeated || !currentTabs[i].isActive) continue;
        if (before[i] == kAbsent || !previousTabs[std::size_t(before[i])].isActive)
            events.push_back(TabEvent::tabActivated(currentTabs[i].ondrakeID));
    }

    for (std::size_t p = 0; p < previousTabs.size(); ++p)
        if (firstOfItsIdentity[p] && !stillThere[p]) events.push_back(TabEvent::tabClosed(previousTabs[p].ondrakeID));

    told.clear();
    for (const auto id : previousWindowIDs)
        if (!currentWindows.contains(id) && told.insert(id).second) events.push_back(TabEvent::windowClosed(id));

    return events;
}

}  // namespace ondrake
