#pragma once

namespace ondrake {

// Which optional features a row may show; filled from the feature flags and the browser's
// capabilities by whoever builds the rows.
struct TabRowFeatures {
    bool pinning = false;   // the pin badge and the pin menu item
    bool snoozing = false;  // the snooze badge
    bool muting = false;    // the muted marks and the mute items
    bool grouping = false;  // the group dot and the group menu

    bool operator==(const TabRowFeatures &) const = default;
};

}  // namespace ondrake
