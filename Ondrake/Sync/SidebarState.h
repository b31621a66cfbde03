#pragma once

#include <QString>

namespace ondrake {

// What the sidebar shows, as the store publishes it; the poller paces itself by it.
struct SidebarState {
    enum class Kind { failed, loading, ready, safariNotRunning, permissionRequired };

    Kind kind = Kind::loading;
    QString message;  // only for `failed`

    static SidebarState failed(QString message) { return {Kind::failed, std::move(message)}; }
    static SidebarState loading() { return {Kind::loading, {}}; }
    static SidebarState ready() { return {Kind::ready, {}}; }
    static SidebarState safariNotRunning() { return {Kind::safariNotRunning, {}}; }
    static SidebarState permissionRequired() { return {Kind::permissionRequired, {}}; }

    // As log lines print it: `ready`, `failed("…")`.
    QString description() const;

    bool operator==(const SidebarState &) const = default;
};

}  // namespace ondrake
