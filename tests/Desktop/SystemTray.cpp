#include "SystemTray.h"

#include "Qt/XcbReply.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ondrake::test {

namespace {

constexpr int kGap = 4;
constexpr std::uint32_t kRequestDock = 0;        // the tray protocol's opcode
constexpr std::uint32_t kHorizontal = 0;

}  // namespace

SystemTray::SystemTray(const XServer &server)
    : x_(server), strip_(XServer::kScreenSize.width() - 160, 0, 160, kIconSide + 2 * kGap) {
    if (!connection_) return;
    const xcb_screen_t &screen = *x_.screen();

    // Unmanaged, as a panel's tray is no window of its own to the window manager. It hears of its
    // icons' deaths, and decides where they stand and when they show: a toolkit that still takes
    // its icon for a window of its own would otherwise move it out of the strip.
    window_ = xcb_generate_id(connection_);
    const std::uint32_t values[] = {screen.black_pixel, 1,
                                    XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, std::int16_t(strip_.x()), std::int16_t(strip_.y()),
                      std::uint16_t(strip_.width()), std::uint16_t(strip_.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen.root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_SYSTEM_TRAY_ORIENTATION"),
                        XCB_ATOM_CARDINAL, 32, 1, &kHorizontal);
    xcb_map_window(connection_, window_);

    const std::uint32_t selection = atom("_NET_SYSTEM_TRAY_S0");
    opcode_ = atom("_NET_SYSTEM_TRAY_OPCODE");
    xcb_set_selection_owner(connection_, window_, selection, XCB_CURRENT_TIME);
    const XcbReply<xcb_get_selection_owner_reply_t> owner{
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection), nullptr)};
    running_ = owner && owner->owner == window_;
    if (!running_) return;

    // Applications already running learn of the tray from this announcement.
    xcb_client_message_event_t announce{};
    announce.response_type = XCB_CLIENT_MESSAGE;
    announce.format = 32;
    announce.window = root_;
    announce.type = atom("MANAGER");
    announce.data.data32[0] = XCB_CURRENT_TIME;
    announce.data.data32[1] = selection;
    announce.data.data32[2] = window_;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char *>(&announce));
    xcb_flush(connection_);

    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { handleEvents(); });
    handleEvents();
}

SystemTray::~SystemTray() { notifier_.reset(); }

QPoint SystemTray::iconCentre(std::size_t index) const {
    return strip_.topLeft() + QPoint(kGap + int(index) * (kIconSide + kGap) + kIconSide / 2, kGap + kIconSide / 2);
}

std::optional<QRect> SystemTray::iconGeometry(std::size_t index) const {
    if (index >= icons_.size()) return std::nullopt;
    const XWindow icon = icons_[index];
    const XcbReply<xcb_get_window_attributes_reply_t> attributes{
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, icon), nullptr)};
    const XcbReply<xcb_get_geometry_reply_t> size{xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, icon), nullptr)};
    const XcbReply<xcb_translate_coordinates_reply_t> place{
        xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, icon, root_, 0, 0), nullptr)};
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !size || !place) return std::nullopt;
    return QRect(place->dst_x, place->dst_y, size->width, size->height);
}

void SystemTray::handleEvents() {
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
        switch (event->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
            if (message->type == opcode_ && message->format == 32 && message->data.data32[1] == kRequestDock)
                dock(message->data.data32[2]);
            break;
        }
        case XCB_MAP_REQUEST: {
            const XWindow icon = reinterpret_cast<const xcb_map_request_event_t *>(event)->window;
            if (std::find(icons_.begin(), icons_.end(), icon) != icons_.end()) xcb_map_window(connection_, icon);
            break;
        }
        case XCB_CONFIGURE_REQUEST: place(); break;
        case XCB_DESTROY_NOTIFY: {
            const XWindow gone = reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window;
            std::erase(icons_, gone);
            place();
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto *moved = reinterpret_cast<const xcb_reparent_notify_event_t *>(event);
            if (moved->parent != window_) {
                std::erase(icons_, moved->window);
                place();
            }
            break;
        }
        default: break;
        }
        std::free(event);
    }
    xcb_flush(connection_);
}

void SystemTray::dock(XWindow icon) {
    if (std::find(icons_.begin(), icons_.end(), icon) != icons_.end()) return;
    icons_.push_back(icon);
    xcb_reparent_window(connection_, icon, window_, 0, 0);
    place();
    xcb_map_window(connection_, icon);
    xcb_flush(connection_);
}

void SystemTray::place() {
    for (std::size_t i = 0; i < icons_.size(); ++i) {
        const QPoint at = iconCentre(i) - strip_.topLeft() - QPoint(kIconSide / 2, kIconSide / 2);
        const std::uint32_t values[] = {std::uint32_t(at.x()), std::uint32_t(at.y()), kIconSide, kIconSide};
        xcb_configure_window(connection_, icons_[i],
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                             values);
    }
}

}  // namespace ondrake::test
