#include "Gestures.h"

#include "Qt/XcbReply.h"

#include <QProcess>

#include <xcb/xcb.h>

#include <algorithm>

namespace ondrake::test {

namespace {
QString number(int n) { return QString::number(n); }
}  // namespace

bool Hand::point(QPoint at) const { return run({QStringLiteral("mousemove"), number(at.x()), number(at.y())}); }

bool Hand::click(QPoint at, int button) const {
    return run({QStringLiteral("mousemove"), number(at.x()), number(at.y()), QStringLiteral("click"), number(button)});
}

bool Hand::controlClick(QPoint at) const {
    return run({QStringLiteral("mousemove"), number(at.x()), number(at.y()), QStringLiteral("keydown"),
                QStringLiteral("ctrl"), QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("keyup"),
                QStringLiteral("ctrl")});
}

bool Hand::key(const QString &keys) const { return run({QStringLiteral("key"), keys}); }
bool Hand::keyDown(const QString &keys) const { return run({QStringLiteral("keydown"), keys}); }
bool Hand::keyUp(const QString &keys) const { return run({QStringLiteral("keyup"), keys}); }

bool Hand::run(const QStringList &arguments) const {
    QProcess xdotool;
    xdotool.setProcessEnvironment(environment_);
    xdotool.setStandardOutputFile(QProcess::nullDevice());
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

Popups::Popups(const XServer &server)
    : x_(server), type_(x_.atom("_NET_WM_WINDOW_TYPE")), toolTip_(x_.atom("_NET_WM_WINDOW_TYPE_TOOLTIP")),
      pid_(x_.atom("_NET_WM_PID")) {}

std::vector<std::uint32_t> Popups::values(XWindow window, std::uint32_t property, std::uint32_t type) const {
    const XcbReply<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, property, type, 0, 16), nullptr)};
    if (!reply || reply->format != 32) return {};
    const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

std::vector<QRect> Popups::shown(qint64 process, bool toolTips) const {
    std::vector<QRect> out;
    const XcbReply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr)};
    if (!tree) return out;
    const auto *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const XWindow window = children[i];
        const XcbReply<xcb_get_window_attributes_reply_t> attributes{
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr)};
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !attributes->override_redirect) continue;
        if (values(window, pid_, XCB_ATOM_CARDINAL) != std::vector{std::uint32_t(process)}) continue;
        const auto types = values(window, type_, XCB_ATOM_ATOM);
        if ((std::find(types.begin(), types.end(), toolTip_) != types.end()) != toolTips) continue;
        const XcbReply<xcb_get_geometry_reply_t> size{
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr)};
        if (size) out.emplace_back(size->x, size->y, size->width, size->height);
    }
    return out;
}

}  // namespace ondrake::test
