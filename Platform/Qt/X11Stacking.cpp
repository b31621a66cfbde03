#include "Qt/X11Stacking.h"

#include "Qt/XcbConnection.h"
#include "Qt/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>

namespace ondrake {

namespace {

constexpr char kStackingAtomName[] = "_NET_CLIENT_LIST_STACKING";
constexpr char kManagerCheckAtomName[] = "_NET_SUPPORTING_WM_CHECK";

std::uint32_t internAtom(xcb_connection_t *connection, const char *name) {
    const auto cookie = xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(connection, cookie, nullptr)};
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}
// Far more windows than any desktop shows; the property is read whole in one request.
constexpr std::uint32_t kMaxListedWindows = 65536;

}  // namespace

std::unique_ptr<X11Stacking> X11Stacking::forApplication() {
    if (auto *connection = applicationXcbConnection()) return std::make_unique<X11Stacking>(connection);
    return nullptr;
}

X11Stacking::X11Stacking(xcb_connection_t *connection)
    : connection_(connection),
      stackingAtom_(internAtom(connection, kStackingAtomName)),
      managerCheckAtom_(internAtom(connection, kManagerCheckAtomName)) {
    if (auto *app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

X11Stacking::~X11Stacking() {
    if (auto *app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool X11Stacking::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (!manager_ || eventType != "xcb_generic_event_t") return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto *change = static_cast<const xcb_property_notify_event_t *>(message);
        if (root_ && change->window == *root_ && (change->atom == stackingAtom_ || change->atom == managerCheckAtom_)) {
            manager_.reset();
            if (onChange_) onChange_();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        // A manager that quits or crashes leaves its list behind on the root.
        if (static_cast<const xcb_destroy_notify_event_t *>(message)->window == watchedManager_) {
            watchedManager_.reset();
            manager_.reset();
        }
        break;
    default: break;
    }
    return false;
}

std::optional<X11Stacking::WindowID> X11Stacking::windowProperty(WindowID window, std::uint32_t property) const {
    const auto cookie = xcb_get_property(connection_, 0, window, property, XCB_ATOM_WINDOW, 0, 1);
    const XcbReply<xcb_get_property_reply_t> reply{xcb_get_property_reply(connection_, cookie, nullptr)};
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const WindowID *>(xcb_get_property_value(reply.get()));
}

std::optional<X11Stacking::WindowID> X11Stacking::runningManager(WindowID root) const {
    // A running manager's check window names itself; a stale one is gone or names nothing.
    const auto check = windowProperty(root, managerCheckAtom_);
    if (!check || windowProperty(*check, managerCheckAtom_) != check) return std::nullopt;
    if (watchedManager_ != check) {
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, *check, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        watchedManager_ = check;
    }
    return check;
}

bool X11Stacking::hearsRootPropertyChanges(WindowID root) const {
    if (!hearsRootChanges_) {
        // The mask this connection selected on the root, Qt's own selection included.
        const XcbReply<xcb_get_window_attributes_reply_t> attributes{
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root), nullptr)};
        hearsRootChanges_ = attributes && (attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    return *hearsRootChanges_;
}

std::optional<X11Stacking::WindowID> X11Stacking::rootOf(WindowID window) const {
    if (root_) return root_;
    const XcbReply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
    if (!tree) return std::nullopt;
    root_ = tree->root;
    return root_;
}

std::optional<std::vector<X11Stacking::WindowID>> X11Stacking::managerList(WindowID root) const {
    if (stackingAtom_ == XCB_ATOM_NONE || managerCheckAtom_ == XCB_ATOM_NONE) return std::nullopt;
    if (manager_) return manager_->list;
    ++managerListReads_;
    ManagerState state;
    if (runningManager(root)) {
        const auto cookie = xcb_get_property(connection_, 0, root, stackingAtom_, XCB_ATOM_WINDOW, 0, kMaxListedWindows);
        const XcbReply<xcb_get_property_reply_t> reply{xcb_get_property_reply(connection_, cookie, nullptr)};
        if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32) {
            const auto *ids = static_cast<const WindowID *>(xcb_get_property_value(reply.get()));
            const auto count = std::size_t(xcb_get_property_value_length(reply.get())) / sizeof(WindowID);
            state.list.emplace(ids, ids + count);  // bottom to top
        }
    }
    if (hearsRootPropertyChanges(root)) manager_ = state;
    return state.list;
}

std::optional<std::vector<X11Stacking::WindowID>> X11Stacking::rootChildren(WindowID root) const {
    const XcbReply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr)};
    if (!tree) return std::nullopt;
    const auto *children = xcb_query_tree_children(tree.get());
    return std::vector<WindowID>(children, children + xcb_query_tree_children_length(tree.get()));  // bottom to top
}

std::optional<X11Stacking::WindowID> X11Stacking::topLevelAncestor(WindowID window, WindowID root) const {
    // A reparenting manager puts each window inside a frame of its own, a few levels deep at most.
    for (int depth = 0; depth < 16; ++depth) {
        const XcbReply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
        if (!tree || tree->parent == XCB_WINDOW_NONE) return std::nullopt;
        if (tree->parent == root) return window;
        window = tree->parent;
    }
    return std::nullopt;
}

std::optional<std::vector<X11Stacking::WindowID>> X11Stacking::frontToBack(const std::vector<WindowID> &windows) const {
    if (windows.empty()) return std::vector<WindowID>{};
    const auto root = rootOf(windows.front());
    if (!root) return std::nullopt;

    std::vector<WindowID> order;
    if (const auto managed = managerList(*root)) {
        lastSource_ = Source::windowManager;
        for (auto it = managed->rbegin(); it != managed->rend(); ++it)
            if (std::find(windows.begin(), windows.end(), *it) != windows.end()) order.push_back(*it);
        return order;
    }

    const auto children = rootChildren(*root);
    if (!children) return std::nullopt;
    lastSource_ = Source::rootChildren;
    const auto isChild = [&](WindowID w) { return std::find(children->begin(), children->end(), w) != children->end(); };
    std::map<WindowID, WindowID> windowOfFrame;
    for (const auto w : windows) {
        auto frame = frames_.find(w);
        if (frame == frames_.end() || !isChild(frame->second)) {
            const auto ancestor = isChild(w) ? std::optional(w) : topLevelAncestor(w, *root);
            if (!ancestor) {
                frames_.erase(w);
                continue;
            }
            frame = frames_.insert_or_assign(w, *ancestor).first;
        }
        windowOfFrame[frame->second] = w;
    }
    std::erase_if(frames_, [&](const auto &entry) { return std::find(windows.begin(), windows.end(), entry.first) == windows.end(); });
    for (auto it = children->rbegin(); it != children->rend(); ++it)
        if (const auto found = windowOfFrame.find(*it); found != windowOfFrame.end()) order.push_back(found->second);
    return order;
}

}  // namespace ondrake
