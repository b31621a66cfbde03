#pragma once

#include "Gestures.h"
#include "SystemTray.h"
#include "XSession.h"

#include <QTemporaryDir>

namespace ondrake::test {

// A desktop as a person has one: an X server of its own, a window manager, a system tray, and a
// hand at the keyboard and mouse; with a home for the application.
struct TrayDesktop {
    XServer server;
    // Before the window manager: the manager's readiness probe is a window of a connection that
    // ends at once, and a window of the next connection may take over its number while the
    // manager still acts on the probe.
    SystemTray tray{server};
    WindowManager manager{server};
    XInspector x{server};
    Hand hand{server};
    Popups popups{server};
    QTemporaryDir home;

    bool isReady() const { return server.isRunning() && manager.isRunning() && tray.isRunning() && x.isConnected(); }
    static constexpr const char *kNotReady = "the X server, the window manager or the tray did not start";
};

}  // namespace ondrake::test
