#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;

namespace ondrake {

// The X server's stacking order of this process's top-level windows. A running window manager's
// `_NET_CLIENT_LIST_STACKING` answers, read again only once the manager announces a change of it
// or goes away (its list may outlive it); without one the root's children are read, and a window
// inside a manager's frame stands where its frame stands. Main thread.
class X11Stacking final : public QAbstractNativeEventFilter {
public:
    using WindowID = std::uint32_t;

    // Nothing unless the application runs on X11.
    static std::unique_ptr<X11Stacking> forApplication();

    explicit X11Stacking(xcb_connection_t *connection);
    ~X11Stacking() override;
    X11Stacking(const X11Stacking &) = delete;
    X11Stacking &operator=(const X11Stacking &) = delete;

    // Those of `windows` the server stacks, front to back; windows it does not list (unmapped,
    // not yet managed, or above management like menus) are left out. Nothing when the order
    // cannot be read.
    std::optional<std::vector<WindowID>> frontToBack(const std::vector<WindowID> &windows) const;

    // Only what a test needs to tell the two ways apart.
    enum class Source { windowManager, rootChildren };
    std::optional<Source> lastSource() const { return lastSource_; }
    // How many times the server was asked for the manager and its list.
    int managerListReads() const { return managerListReads_; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
    // Called when the manager announces a new stacking list; one handler at a time.
    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }

private:
    std::optional<std::vector<WindowID>> managerList(WindowID root) const;
    // The window a running manager keeps to show that it runs; nothing when none runs.
    std::optional<WindowID> runningManager(WindowID root) const;
    std::optional<WindowID> windowProperty(WindowID window, std::uint32_t property) const;
    std::optional<std::vector<WindowID>> rootChildren(WindowID root) const;
    std::optional<WindowID> topLevelAncestor(WindowID window, WindowID root) const;
    std::optional<WindowID> rootOf(WindowID window) const;
    // Whether the server tells this connection of the root's property changes, so that a list
    // once read can be kept until the manager changes it.
    bool hearsRootPropertyChanges(WindowID root) const;

    xcb_connection_t *connection_;
    std::uint32_t stackingAtom_ = 0;
    std::uint32_t managerCheckAtom_ = 0;
    mutable std::optional<WindowID> root_;
    // A window's frame stays until the window is managed afresh, so the walk up is done once.
    mutable std::map<WindowID, WindowID> frames_;
    mutable std::optional<Source> lastSource_;
    mutable std::optional<bool> hearsRootChanges_;
    // What the manager said last, `list` nothing when no manager runs; kept while nothing changed.
    struct ManagerState {
        std::optional<std::vector<WindowID>> list;
    };
    mutable std::optional<ManagerState> manager_;
    mutable std::optional<WindowID> watchedManager_;
    mutable int managerListReads_ = 0;
    std::function<void()> onChange_;
};

}  // namespace ondrake
