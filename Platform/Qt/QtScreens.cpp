#include "Qt/QtScreens.h"

#include "Qt/XcbConnection.h"
#include "Qt/XcbReply.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace ondrake {

namespace {
QScreen *primary() { return QGuiApplication::primaryScreen(); }

// The primary screen first: it holds the origin, as the screen with the menu bar does.
std::vector<QScreen *> orderedScreens() {
    std::vector<QScreen *> out;
    auto *first = primary();
    if (first) out.push_back(first);
    for (auto *s : QGuiApplication::screens())
        if (s != first) out.push_back(s);
    return out;
}
}  // namespace

QtScreens::QtScreens(QObject *parent) : Screens(parent) {
    // First, so that every later listener reads the screens as they are now.
    connect(this, &Screens::parametersChanged, this, [this] { screens_.reset(); });
    auto *app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *s) {
        watch(s);
        Q_EMIT parametersChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &Screens::parametersChanged);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &Screens::parametersChanged);
    for (auto *s : QGuiApplication::screens()) watch(s);
}

void QtScreens::watch(QScreen *screen) {
    connect(screen, &QScreen::geometryChanged, this, &Screens::parametersChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::parametersChanged);
    connect(screen, &QScreen::refreshRateChanged, this, [this] { screens_.reset(); });
}

ScreenInfo QtScreens::describe(const QScreen &screen, const QRect &primaryGeometry) {
    const double height = primaryGeometry.height();
    const auto toScreen = [&](const QRect &r) { return flipped(QRectF(r.translated(-primaryGeometry.topLeft())), height); };
    return {screen.name(), toScreen(screen.geometry()), toScreen(screen.availableGeometry()), screen.refreshRate()};
}

std::vector<ScreenInfo> QtScreens::screens() const {
    if (screens_) return *screens_;
    std::vector<ScreenInfo> out;
    const auto ordered = orderedScreens();
    if (!ordered.empty()) {
        const auto origin = ordered.front()->geometry();
        for (auto *s : ordered) out.push_back(describe(*s, origin));
    }
    screens_ = out;
    return out;
}

std::optional<ScreenInfo> QtScreens::mainScreen() const {
    auto *first = primary();
    if (!first) return std::nullopt;
    auto *focused = QGuiApplication::focusWindow();
    auto *screen = focused && focused->screen() ? focused->screen() : first;
    return describe(*screen, first->geometry());
}

QPoint QtScreens::nativeOrigin() const {
    auto *first = primary();
    return first ? first->geometry().topLeft() : QPoint();
}

bool QtScreens::isCompositing() const {
    xcb_connection_t *connection = applicationXcbConnection();
    if (!connection) return true;
    // A compositing manager owns the selection named after the screen it composites.
    int screen = 0;
    char *host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) != 0) std::free(host);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const auto atomCookie = xcb_intern_atom(connection, 1, std::uint16_t(name.size()), name.constData());
    const XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(connection, atomCookie, nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;  // nobody ever claimed it
    const XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

QtPointer::QtPointer(const Screens &screens) : screens_(screens) {
    if (!qGuiApp) return;
    qGuiApp->installEventFilter(this);
    if (auto *connection = applicationXcbConnection()) {
        connection_ = connection;
        // The buttons are the pointer's, whichever screen's root is asked.
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
}

bool QtPointer::eventFilter(QObject *watched, QEvent *event) {
    // Every press reaches the application once through its window, whichever widget takes it.
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QWindow *>(watched)
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        Q_EMIT primaryButtonPressed();
    return false;
}

QPointF QtPointer::location() const {
    const QPoint native = QCursor::pos();
    return screens_.fromNative(QRectF(native, QSizeF(0, 0))).topLeft();
}

Qt::MouseButtons QtPointer::serverButtons() const {
    if (!connection_ || !answerExpires_.hasExpired()) return answered_;
    xcb_generic_error_t *error = nullptr;
    const XcbReply<xcb_query_pointer_reply_t> pointer{
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), &error)};
    std::free(error);
    answered_ = {};
    if (pointer) {
        answered_.setFlag(Qt::LeftButton, pointer->mask & XCB_BUTTON_MASK_1);
        answered_.setFlag(Qt::MiddleButton, pointer->mask & XCB_BUTTON_MASK_2);
        answered_.setFlag(Qt::RightButton, pointer->mask & XCB_BUTTON_MASK_3);
    }
    answerExpires_ = QDeadlineTimer(kServerAnswerLasts);
    return answered_;
}

Qt::MouseButtons QtPointer::heldOnServer() const {
    const auto now = serverButtons();
    if (now) {
        held_ = now;
        letGo_.reset();
        return now;
    }
    if (!held_) return now;
    if (!letGo_) letGo_ = QDeadlineTimer(kManagerLetGo);
    if (!letGo_->hasExpired()) return held_;
    held_ = {};
    letGo_.reset();
    return now;
}

Qt::MouseButtons QtPointer::pressedButtons() const { return QGuiApplication::mouseButtons() | heldOnServer(); }

}  // namespace ondrake
