#include "XSession.h"

#include "Qt/XcbReply.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <xcb/xcb.h>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace ondrake::test {

namespace {

constexpr Milliseconds kStartTimeout{20000};

void stop(QProcess &process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace

bool waitUntil(const std::function<bool()> &done, Milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        // Returns as soon as an event was handled; the short pause bounds how stale a look may be.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(2000);
    }
    return true;
}

void endWithThisProgram(QProcess &process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

std::optional<QString> missingDesktopPrograms() {
    QStringList missing;
    for (const auto *program : {"Xvfb", "openbox", "xdotool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) missing << QString::fromLatin1(program);
    if (missing.isEmpty()) return std::nullopt;
    return QStringLiteral("not installed: %1 (./dev installs the packages xvfb, openbox and xdotool)")
        .arg(missing.join(QStringLiteral(", ")));
}

XServer::XServer(QSize screen) : screen_(screen) {
    // The server picks the first free display and says which on the descriptor it is given.
    server_.setProgram(QStringLiteral("Xvfb"));
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(screen_.width()).arg(screen_.height()),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    endWithThisProgram(server_);
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start();
    if (!server_.waitForStarted(int(kStartTimeout.count()))) return;
    // Blocking reads: a test program may start its server before it has an application object.
    QByteArray announced;
    while (!announced.contains('\n') && server_.waitForReadyRead(int(kStartTimeout.count())))
        announced += server_.readAllStandardOutput();
    bool ok = false;
    const int number = announced.trimmed().toInt(&ok);
    if (ok) display_ = QStringLiteral(":%1").arg(number);
}

XServer::~XServer() { stop(server_); }

QProcessEnvironment XServer::clientEnvironment(const QString &home) const {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    if (!home.isEmpty()) {
        const QDir dir(home);
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral(".local/share")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral(".cache")));
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    return env;
}

WindowManager::WindowManager(const XServer &server) {
    process_.setProcessEnvironment(server.clientEnvironment(home_.path()));
    process_.setProgram(QStringLiteral("openbox"));
    process_.setArguments({QStringLiteral("--sm-disable")});
    endWithThisProgram(process_);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted(int(kStartTimeout.count()))) return;
    const XInspector inspector(server);
    ready_ = waitUntil([&] { return inspector.hasWindowManager() || process_.state() == QProcess::NotRunning; },
                       kStartTimeout)
             && inspector.managerTakesNewWindows(kStartTimeout) && process_.state() == QProcess::Running;
}

WindowManager::~WindowManager() { stop(process_); }

WindowManager::Hold::Hold(const WindowManager &manager) {
    const auto id = manager.process_.processId();
    if (id > 0 && ::kill(pid_t(id), SIGSTOP) == 0) process_ = id;
}

WindowManager::Hold::~Hold() {
    if (process_) ::kill(pid_t(process_), SIGCONT);
}

QString describe(const std::optional<QRect> &r) {
    if (!r) return QStringLiteral("(none)");
    return QStringLiteral("%1,%2 %3x%4").arg(r->x()).arg(r->y()).arg(r->width()).arg(r->height());
}

XConnection::XConnection(const XServer &server) {
    int screenNumber = 0;
    auto *connection = xcb_connect(server.display().toLatin1().constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&roots);
    screen_ = roots.data;
}

XConnection::~XConnection() {
    if (connection_) xcb_disconnect(connection_);
}

XWindow XConnection::root() const { return screen_ ? screen_->root : 0; }

std::uint32_t XConnection::atom(const char *name) const {
    const XcbReply<xcb_intern_atom_reply_t> reply{
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(name)), name), nullptr)};
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}

std::vector<std::uint32_t> XInspector::cardinals(XWindow window, std::uint32_t property, std::uint32_t type) const {
    const XcbReply<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, property, type, 0, 65536), nullptr)};
    if (!reply || reply->type != type || reply->format != 32) return {};
    const auto *values = static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

std::vector<XWindow> XInspector::stacking() const {
    return cardinals(root_, atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW);
}

std::vector<XWindow> XInspector::topLevels() const {
    auto listed = stacking();
    if (!listed.empty()) return listed;
    std::vector<XWindow> mapped;
    for (const auto w : rootChildren())
        if (isViewable(w)) mapped.push_back(w);
    return mapped;
}

std::optional<XWindow> XInspector::activeWindow() const {
    const auto active = cardinals(root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active.empty()) {
        if (active.front() == XCB_WINDOW_NONE) return std::nullopt;
        return active.front();
    }
    // Without a manager the window with the keyboard's focus is the active one.
    const XcbReply<xcb_get_input_focus_reply_t> focus{xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)};
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == root_)
        return std::nullopt;
    return focus->focus;
}

bool XInspector::hasWindowManager() const {
    return !cardinals(root_, atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty();
}

QString XInspector::name(XWindow window) const {
    const auto read = [&](std::uint32_t property, std::uint32_t type) -> std::optional<QString> {
        const XcbReply<xcb_get_property_reply_t> reply{
            xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, property, type, 0, 1024), nullptr)};
        if (!reply || reply->type != type) return std::nullopt;
        return QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                 xcb_get_property_value_length(reply.get()));
    };
    if (const auto utf8 = read(atom("_NET_WM_NAME"), atom("UTF8_STRING"))) return *utf8;
    return read(XCB_ATOM_WM_NAME, XCB_ATOM_STRING).value_or(QString());
}

std::vector<XWindow> XInspector::windowsNamed(const QString &wanted) const {
    std::vector<XWindow> out;
    for (const auto w : topLevels())
        if (name(w) == wanted) out.push_back(w);
    return out;
}

std::optional<QRect> XInspector::geometry(XWindow window) const {
    const XcbReply<xcb_get_geometry_reply_t> size{xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr)};
    const XcbReply<xcb_translate_coordinates_reply_t> place{
        xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr)};
    if (!size || !place) return std::nullopt;
    return QRect(place->dst_x, place->dst_y, size->width, size->height);
}

QMargins XInspector::frameExtents(XWindow window) const {
    const auto extents = cardinals(window, atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (extents.size() != 4) return {};
    return QMargins(int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3]));
}

bool XInspector::isViewable(XWindow window) const {
    const XcbReply<xcb_get_window_attributes_reply_t> attributes{
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr)};
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool XInspector::isFlushBeside(XWindow panel, XWindow window) const {
    const auto side = geometry(panel);
    const auto target = geometry(window);
    if (!side || !target || !x_.screen()) return false;
    const QRect screen(0, 0, x_.screen()->width_in_pixels, x_.screen()->height_in_pixels);
    const int top = std::max(target->top(), screen.top());
    const int bottom = std::min(target->bottom(), screen.bottom());
    return side->x() + side->width() == target->x() && side->y() == top && side->bottom() == bottom;
}

bool XInspector::isAbove(XWindow upper, XWindow lower) const {
    const auto order = topLevels();
    const auto u = std::find(order.begin(), order.end(), upper);
    const auto l = std::find(order.begin(), order.end(), lower);
    return u != order.end() && l != order.end() && u > l;
}

std::vector<XWindow> XInspector::rootChildren() const {
    const XcbReply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr)};
    if (!tree) return {};
    const auto *children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

void XInspector::raise(XWindow window) const {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(connection_);
}

bool XInspector::managerTakesNewWindows(Milliseconds timeout) const {
    const XWindow probe = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, probe, root_, 0, 0, 16, 16, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const QDeadlineTimer deadline(timeout);
    bool managed = false;
    // A manager still starting up may drop the request to show it; it is asked again until it holds.
    while (!managed && !deadline.hasExpired()) {
        xcb_unmap_window(connection_, probe);
        xcb_map_window(connection_, probe);
        xcb_flush(connection_);
        managed = waitUntil(
            [&] {
                const auto listed = stacking();
                return std::find(listed.begin(), listed.end(), probe) != listed.end();
            },
            Milliseconds(300));
    }
    xcb_destroy_window(connection_, probe);
    xcb_flush(connection_);
    return managed;
}

QImage XInspector::screenshot() const {
    if (!x_.screen()) return {};
    const QSize size(x_.screen()->width_in_pixels, x_.screen()->height_in_pixels);
    const XcbReply<xcb_get_image_reply_t> reply{xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0, std::uint16_t(size.width()),
                      std::uint16_t(size.height()), ~0u),
        nullptr)};
    if (!reply || reply->depth != 24) return {};
    // 24-bit pixels padded to 32, in the machine's byte order: what QImage calls RGB32.
    const QImage view(xcb_get_image_data(reply.get()), size.width(), size.height(), size.width() * 4,
                      QImage::Format_RGB32);
    return view.copy();
}

QImage XInspector::stillScreenshot(Milliseconds timeout) const {
    QImage shot;
    waitUntil(
        [&] {
            auto next = screenshot();
            const bool still = next == shot;
            shot = std::move(next);
            return still;
        },
        timeout);
    return shot;
}

bool XInput::run(const QStringList &arguments) const {
    QProcess xdotool;
    xdotool.setProcessEnvironment(environment_);
    xdotool.setStandardOutputFile(QProcess::nullDevice());
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

bool XInput::activate(XWindow window) const {
    return run({QStringLiteral("windowactivate"), QString::number(window)});
}

bool XInput::move(XWindow window, QPoint topLeft) const {
    return run({QStringLiteral("windowmove"), QString::number(window), QString::number(topLeft.x()), QString::number(topLeft.y())});
}

bool XInput::click(QPoint point) const {
    return run({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                QStringLiteral("click"), QStringLiteral("1")});
}

bool XInput::press(QPoint point) const {
    return run({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                QStringLiteral("mousedown"), QStringLiteral("1")});
}

bool XInput::moveTo(QPoint point) const {
    return run({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
}

bool XInput::release() const { return run({QStringLiteral("mouseup"), QStringLiteral("1")}); }

bool XInput::key(const QString &keys) const {
    QStringList arguments{QStringLiteral("key")};
    arguments += keys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return run(arguments);
}

bool XInput::type(const QString &text) const {
    return run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

}  // namespace ondrake::test
