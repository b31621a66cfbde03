#include "Qt/X11Stacking.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ondrake {

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

constexpr char kStackingAtomName[] = "_NET_CLIENT_LIST_STACKING";
// Far more windows than any desktop shows; the property is read whole in one request.
constexpr std::uint32_t kMaxListedWindows = 65536;

}  // namespace

std::unique_ptr<X11Stacking> X11Stacking::forApplication() {
#if QT_CONFIG(xcb)
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        if (auto *connection = x11->connection()) return std::make_unique<X11Stacking>(connection);
#endif
    return nullptr;
}

X11Stacking::X11Stacking(xcb_connection_t *connection) : connection_(connection) {
    const auto cookie = xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(kStackingAtomName)), kStackingAtomName);
    if (const Reply<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(connection_, cookie, nullptr)})
        stackingAtom_ = reply->atom;
    if (auto *app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

X11Stacking::~X11Stacking() {
    if (auto *app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool X11Stacking::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (!cachedManagerList_ || eventType != "xcb_generic_event_t") return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto *change = static_cast<const xcb_property_notify_event_t *>(message);
    if (change->atom == stackingAtom_ && root_ && change->window == *root_) cachedManagerList_.reset();
    return false;
}

bool X11Stacking::hearsRootPropertyChanges(WindowID root) const {
    if (!hearsRootChanges_) {
        // The mask this connection selected on the root, Qt's own selection included.
        const Reply<xcb_get_window_attributes_reply_t> attributes{
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root), nullptr)};
        hearsRootChanges_ = attributes && (attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    return *hearsRootChanges_;
}

std::optional<X11Stacking::WindowID> X11Stacking::rootOf(WindowID window) const {
    if (root_) return root_;
    const Reply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
    if (!tree) return std::nullopt;
    root_ = tree->root;
    return root_;
}

std::optional<std::vector<X11Stacking::WindowID>> X11Stacking::managerList(WindowID root) const {
    if (stackingAtom_ == XCB_ATOM_NONE) return std::nullopt;
    if (cachedManagerList_) return cachedManagerList_;
    ++managerListReads_;
    const auto cookie = xcb_get_property(connection_, 0, root, stackingAtom_, XCB_ATOM_WINDOW, 0, kMaxListedWindows);
    const Reply<xcb_get_property_reply_t> reply{xcb_get_property_reply(connection_, cookie, nullptr)};
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32) return std::nullopt;
    const auto *ids = static_cast<const WindowID *>(xcb_get_property_value(reply.get()));
    const auto count = std::size_t(xcb_get_property_value_length(reply.get())) / sizeof(WindowID);
    std::vector<WindowID> list(ids, ids + count);  // bottom to top
    if (hearsRootPropertyChanges(root)) cachedManagerList_ = list;
    return list;
}

std::optional<std::vector<X11Stacking::WindowID>> X11Stacking::rootChildren(WindowID root) const {
    const Reply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr)};
    if (!tree) return std::nullopt;
    const auto *children = xcb_query_tree_children(tree.get());
    return std::vector<WindowID>(children, children + xcb_query_tree_children_length(tree.get()));  // bottom to top
}

std::optional<X11Stacking::WindowID> X11Stacking::topLevelAncestor(WindowID window, WindowID root) const {
    // A reparenting manager puts each window inside a frame of its own, a few levels deep at most.
    for (int depth = 0; depth < 16; ++depth) {
        const Reply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
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
