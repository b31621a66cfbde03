#pragma once

#include "Sync/TabRecordBook.h"

#include "Ondrake/Model/AppSettings.h"
#include "Ondrake/Model/ClosedTabStack.h"

namespace ondrake {

// The store's side of the tab commands. Each write publishes what changed and schedules a save.
class TabRecordWriting {
public:
    virtual ~TabRecordWriting() = default;

    virtual const TabRecordBook &book() const = 0;
    virtual void setBook(TabRecordBook book) = 0;
    virtual const ClosedTabStack &recentlyClosed() const = 0;
    virtual void setRecentlyClosed(ClosedTabStack history) = 0;
    virtual const AppSettings &settings() const = 0;
    // Lets the next poll give the record's identity to the tab that shows its page, before any
    // other record waiting for that page.
    virtual void releaseForReattachment(const TabRecord &record) = 0;

    // One change, one publication: read, change, write back.
    template<typename Change>
    void updateBook(Change &&change) {
        auto copy = book();
        change(copy);
        setBook(std::move(copy));
    }
    template<typename Change>
    void updateRecentlyClosed(Change &&change) {
        auto copy = recentlyClosed();
        change(copy);
        setRecentlyClosed(std::move(copy));
    }
};

}  // namespace ondrake
