#pragma once

#include <QImage>
#include <QMargins>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;
struct xcb_screen_t;

namespace ondrake::test {

using XWindow = std::uint32_t;
using Milliseconds = std::chrono::milliseconds;

// Runs the event loop until `done` holds or the time is up; true when it held. Never sleeps a
// fixed time: it looks again whenever an event was handled, at least every few milliseconds.
bool waitUntil(const std::function<bool()> &done, Milliseconds timeout);

// Ends the process's program with this test program, however that ends (a crash, a kill), so that
// no server, window manager or application outlives it. Before `start`.
void endWithThisProgram(QProcess &process);

// Programs the desktop tests need; the message names those missing.
std::optional<QString> missingDesktopPrograms();

// A virtual X server of its own, on the first free display, with its own temporary home. Ends
// with this object, and with it every client still connected.
class XServer {
public:
    static constexpr QSize kScreenSize{1920, 1080};

    explicit XServer(QSize screen = kScreenSize);
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    bool isRunning() const { return !display_.isEmpty(); }
    // ":<number>"
    const QString &display() const { return display_; }
    // A process environment for a client of this server, its home and folders in `home`.
    QProcessEnvironment clientEnvironment(const QString &home) const;
    QSize screenSize() const { return screen_; }

private:
    QSize screen_;
    QProcess server_;
    QString display_;
};

// The window manager, openbox, on a server; it is ready once it has announced itself on the root.
class WindowManager {
public:
    // Keeps the manager stopped while it lasts: it answers no request, as a manager that is busy
    // or has not settled yet at a login.
    class Hold {
    public:
        explicit Hold(const WindowManager &manager);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        bool isHeld() const { return process_ != 0; }

    private:
        qint64 process_ = 0;
    };

    explicit WindowManager(const XServer &server);
    ~WindowManager();
    WindowManager(const WindowManager &) = delete;
    WindowManager &operator=(const WindowManager &) = delete;
    bool isRunning() const { return ready_; }

private:
    QTemporaryDir home_;
    QProcess process_;
    bool ready_ = false;
};

// "x,y wxh", or "(none)".
QString describe(const std::optional<QRect> &r);

// A connection of the test's own to the server, to its default screen; closed with this object.
class XConnection {
public:
    explicit XConnection(const XServer &server);
    ~XConnection();
    XConnection(const XConnection &) = delete;
    XConnection &operator=(const XConnection &) = delete;

    // None when the server could not be reached.
    xcb_connection_t *get() const { return connection_; }
    const xcb_screen_t *screen() const { return screen_; }
    XWindow root() const;
    std::uint32_t atom(const char *name) const;

private:
    xcb_connection_t *connection_ = nullptr;
    const xcb_screen_t *screen_ = nullptr;
};

// What a client of the server can read of its windows, without a toolkit: the manager's stacking
// list, the active window, names, places, and the screen's pixels.
class XInspector {
public:
    explicit XInspector(const XServer &server) : x_(server) {}

    bool isConnected() const { return connection_ != nullptr; }
    XWindow root() const { return root_; }

    // The manager's client windows, bottom to top; empty without a manager.
    std::vector<XWindow> stacking() const;
    // The top-level windows shown, bottom to top: the manager's list, or the root's children.
    std::vector<XWindow> topLevels() const;
    // The manager's active window, or without one the window with the keyboard's focus.
    std::optional<XWindow> activeWindow() const;
    bool hasWindowManager() const;
    // The top-level windows shown whose name is `name`.
    std::vector<XWindow> windowsNamed(const QString &name) const;
    QString name(XWindow window) const;
    // The window's inside, on the root: where the application placed it.
    std::optional<QRect> geometry(XWindow window) const;
    // The manager's frame around the window's inside, as margins; none without a manager.
    QMargins frameExtents(XWindow window) const;
    bool isViewable(XWindow window) const;
    // The panel's right edge on the window's left edge, their tops level, the panel no taller than
    // the window and cut to the screen.
    bool isFlushBeside(XWindow panel, XWindow window) const;
    // True when `upper` lies above `lower` among the top-level windows.
    bool isAbove(XWindow upper, XWindow lower) const;
    QImage screenshot() const;
    // The screen once it holds still between two looks, so that it shows what a person would see;
    // the last look when it never did within `timeout`.
    QImage stillScreenshot(Milliseconds timeout) const;
    // The order of the root's children, bottom to top.
    std::vector<XWindow> rootChildren() const;
    // Raises the window as any other client may, without activating it.
    void raise(XWindow window) const;
    // Shows a small window of this client's own until the manager manages it: proof that it
    // handles new windows, which it does only some time after it has announced itself.
    bool managerTakesNewWindows(Milliseconds timeout) const;

private:
    std::uint32_t atom(const char *name) const { return x_.atom(name); }
    std::vector<std::uint32_t> cardinals(XWindow window, std::uint32_t property, std::uint32_t type) const;

    XConnection x_;
    xcb_connection_t *const connection_ = x_.get();
    const XWindow root_ = x_.root();
};

// A person at the keyboard and mouse, through xdotool.
class XInput {
public:
    explicit XInput(const XServer &server) : environment_(server.clientEnvironment(QString())) {}
    bool activate(XWindow window) const;
    // Moves the window's inside to (x, y) on the root.
    bool move(XWindow window, QPoint topLeft) const;
    bool click(QPoint point) const;
    // The primary button held down at a point, the pointer moved with it held, and let go.
    bool press(QPoint point) const;
    bool moveTo(QPoint point) const;
    bool release() const;
    // Keys in xdotool's notation, one after the other: "ctrl+shift+c", "Escape Escape".
    bool key(const QString &keys) const;
    bool type(const QString &text) const;

private:
    bool run(const QStringList &arguments) const;
    QProcessEnvironment environment_;
};

}  // namespace ondrake::test
