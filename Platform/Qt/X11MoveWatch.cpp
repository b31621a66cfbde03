#include "Qt/X11MoveWatch.h"

#include "Qt/XcbConnection.h"
#include "Qt/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace ondrake {

std::unique_ptr<X11MoveWatch> X11MoveWatch::forApplication() {
    if (auto *connection = applicationXcbConnection()) return std::make_unique<X11MoveWatch>(connection);
    return nullptr;
}

X11MoveWatch::X11MoveWatch(xcb_connection_t *connection) : connection_(connection), placement_(connection) {
    if (auto *app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

X11MoveWatch::~X11MoveWatch() {
    if (auto *app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

void X11MoveWatch::watch(WindowID window, Handler moved) {
    auto &watched = windows_[window];
    watched.moved = std::move(moved);
    // The window may be in its frame already; later frames are heard of as the window moves in.
    findFrame(window, watched);
}

void X11MoveWatch::unwatch(WindowID window) { windows_.erase(window); }

std::optional<X11MoveWatch::WindowID> X11MoveWatch::topLevelAncestor(WindowID window) const {
    // A reparenting manager's frame is a few levels up at most.
    for (int depth = 0; depth < 16; ++depth) {
        xcb_generic_error_t *error = nullptr;
        const XcbReply<xcb_query_tree_reply_t> tree{
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), &error)};
        std::free(error);
        if (!tree || tree->parent == XCB_WINDOW_NONE) return std::nullopt;
        if (tree->parent == tree->root) return window;
        window = tree->parent;
    }
    return std::nullopt;
}

void X11MoveWatch::findFrame(WindowID window, Watched &watched) {
    const auto top = topLevelAncestor(window);
    watched.frame = top && *top != window ? top : std::nullopt;
    if (!watched.frame) return;
    // This connection's own selection on the manager's window; the manager's is its own.
    // A frame gone meanwhile is no error worth hearing of.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const auto cookie = xcb_change_window_attributes_checked(connection_, *watched.frame, XCB_CW_EVENT_MASK, &mask);
    xcb_discard_reply(connection_, cookie.sequence);
    xcb_flush(connection_);
}

void X11MoveWatch::tell(WindowID window, const Watched &watched) const {
    if (const auto inside = placement_.insides({window}).front(); inside && watched.moved) watched.moved(*inside);
}

bool X11MoveWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (windows_.empty() || eventType != "xcb_generic_event_t") return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_REPARENT_NOTIFY: {
        const auto *reparent = static_cast<const xcb_reparent_notify_event_t *>(message);
        if (const auto found = windows_.find(reparent->window); found != windows_.end()) {
            findFrame(found->first, found->second);
            tell(found->first, found->second);
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = static_cast<const xcb_configure_notify_event_t *>(message);
        std::vector<WindowID> moved;
        for (const auto &[window, watched] : windows_)
            if (watched.frame == configure->window) moved.push_back(window);
        // A handler may stop watching any window.
        for (const auto window : moved)
            if (const auto found = windows_.find(window); found != windows_.end()) tell(window, found->second);
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto *destroyed = static_cast<const xcb_destroy_notify_event_t *>(message);
        for (auto &[window, watched] : windows_)
            if (watched.frame == destroyed->window) watched.frame.reset();
        break;
    }
    default: break;
    }
    return false;
}

}  // namespace ondrake
