#pragma once

#include "Browser/SafariSnapshot.h"
#include "Browser/SafariTab.h"
#include "Browser/SafariTabMove.h"
#include "SessionIdentities/ActionReading.h"
#include "Platform/TextHash.h"
#include "SessionIdentities/WindowLineUp.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ondrake {

// Gives every tab of a poll a per-session id ("tab-" and a serial) and keeps it from poll to poll
// while the tab stays recognisable: moved within its window, with tabs opening or closing around
// it, dragged into another window, or reloaded. Serials only grow, so an id is never reused.
class TabIdentityRegistry {
public:
    struct Entry {
        QString id;
        QString url;    // as the browser reported it
        QString title;  // raw, untrimmed
        std::int64_t index = 0;
        // The URL text's number in the poll that saw it, so the next poll need not hash it again.
        std::uint32_t urlNumber = 0;
        bool operator==(const Entry &o) const { return id == o.id && url == o.url && title == o.title && index == o.index; }
    };

    std::vector<SafariWindow> assign(const std::vector<SafariSnapshot::RawWindow> &windows);
    // What the last poll saw in that window; nothing when the window was not in it.
    std::optional<std::vector<Entry>> previousEntries(std::int64_t windowID) const;
    // Forgets the last poll (the browser quit); serials go on.
    void reset() {
        previous_.clear();
        activeIDs_.clear();
        lastURLs_.clear();
        closed_.clear();
    }
    // Tabs this system has just closed. Their ids go to another tab only when nothing else fits,
    // so a twin left open keeps its own, whatever the closed one looked like; a tab the browser
    // did not close after all keeps its id.
    void noteClosed(const std::vector<QString> &ids) {
        for (const auto &id : ids) closed_.insert_or_assign(id, kClosedPolls);
    }
    // A move this system made and the browser carried out: the window is remembered in its new
    // order, so the moved tabs keep their ids whatever their twins. A move planned on another
    // count of tabs than remembered changes nothing.
    void noteMoved(const SafariTabMove &move);

    std::uint64_t nextSerial() const { return nextSerial_; }
    // Windows whose reading ran out of budget and went to the line-up instead, since this began.
    std::uint64_t readingsOverBudget() const { return reader_.overBudget(); }

    // Trimmed title, else the URL's host, else the URL text, else "Untitled".
    static QString displayTitle(const QString &rawTitle, const QString &urlText);

private:
    // What one poll holds of one URL text.
    struct UrlInfo {
        QString text;  // held here, so that the table's keys may view it
        int count = 0;
        std::int64_t windowID = 0;  // of the last tab counted
        QString id;  // given to the tab, when only one has the URL
        std::optional<std::optional<QUrl>> parsed;  // outer: parsed yet
    };
    // A poll's URL texts, numbered in the order first seen: a tab carries its text's number, so
    // the text is hashed once a poll. The keys view the texts the infos hold.
    struct UrlTable {
        QHash<HashedText, std::uint32_t> numbers;
        std::vector<UrlInfo> infos;
        std::uint32_t add(const QString &text) {
            const HashedText key(text);
            if (const auto found = numbers.constFind(key); found != numbers.cend()) return *found;
            const auto number = std::uint32_t(infos.size());
            infos.push_back(UrlInfo{text, 0, 0, {}, {}});
            numbers.insert(HashedText(infos.back().text, key.hash), number);
            return number;
        }
        void clear() {
            numbers.clear();
            infos.clear();
        }
    };
    static const std::optional<QUrl> &parsedURL(UrlInfo &info, const QString &text);

    // One window of a poll on its way to ids: the entries on offer, the id each tab has so far,
    // and how the window lined up with the last poll when it changed.
    struct WindowWork {
        WindowWork(const SafariSnapshot::RawWindow &w, const std::vector<Entry> &p) : window(w), prev(p) {}
        const SafariSnapshot::RawWindow &window;
        const std::vector<Entry> &prev;
        std::vector<std::uint32_t> urlNumbers;  // of the tabs, in this poll's table
        std::vector<const Entry *> offered;
        std::vector<bool> taken;
        std::vector<std::optional<QString>> ids;
        std::vector<const Entry *> from;  // the entry that gave the tab its id, if one did
        bool changed = false;
        // While entries and tabs are left to pair by address: what they show, and the line-up.
        std::vector<PageKey> placeKeys;
        std::vector<PageKey> tabKeys;
        std::vector<std::uint32_t> placeAddresses;
        std::vector<ActionReading> readings;  // of what a person did, the likeliest first
        bool read = false;                    // a reading paired the window
        std::optional<WindowLineUp> lined;

        void take(std::size_t i, std::size_t e) {
            taken[e] = true;
            ids[i] = offered[e]->id;
            from[i] = offered[e];
        }
        // Lets go of what the line-up needed, and with `all` of the rest too.
        void release(bool all) {
            std::vector<PageKey>().swap(placeKeys);
            std::vector<PageKey>().swap(tabKeys);
            std::vector<std::uint32_t>().swap(placeAddresses);
            std::vector<ActionReading>().swap(readings);
            lined.reset();
            if (!all) return;
            std::vector<const Entry *>().swap(offered);
            std::vector<bool>().swap(taken);
            std::vector<std::optional<QString>>().swap(ids);
            std::vector<const Entry *>().swap(from);
            std::vector<std::uint32_t>().swap(urlNumbers);
        }
    };
    // Reads the windows that changed together: of each one's readings, those that give the
    // fewest actions in all, a tab closed alone in one window and opened alone in another, of
    // the same address, counting as one action, a drag between them, whose tab keeps its id.
    void readTogether(std::vector<WindowWork> &work, UrlTable &now, const TextSet &claimed) const;
    // Tabs of a page that one window lost and another gained in one poll were dragged across:
    // those the losing window's line-up left over keep their ids in the window they went to.
    void followAcrossWindows(std::vector<WindowWork> &work, const TextSet &claimed) const;

    std::unordered_map<std::int64_t, std::vector<Entry>> previous_;
    // Each window's active tab at the last poll: with the one active now, it tells which one
    // action of a person explains a poll, and which of identical tabs stayed.
    std::unordered_map<std::int64_t, QString> activeIDs_;
    std::uint64_t nextSerial_ = 0;
    // The last poll's tabs by URL text, with the texts already parsed: most come back unchanged,
    // and parsing is the dearest step of a poll.
    UrlTable lastURLs_;
    // A snapshot asked for before the close may still show the tab; the poll after it tells a
    // browser that kept the tab, which then goes by position again like any twin.
    static constexpr int kClosedPolls = 2;
    TextMap<int> closed_;  // polls left for each closed tab that is still shown
    ActionReader reader_;
};

}  // namespace ondrake
