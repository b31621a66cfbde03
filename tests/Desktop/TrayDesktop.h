#pragma once

#include "Gestures.h"
#include "OndrakeProcess.h"
#include "SystemTray.h"
#include "XSession.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake::test {

// The demo session as the application shows it on such a desktop.
inline const QString kFirstWindow = QStringLiteral("Sky - Wikipedia");  // its current tab's title
inline const QString kSidebar = QStringLiteral("Sidebar");
inline const QString kDemoPublished = QStringLiteral("Published 3 window(s), 30 tab(s)");
inline constexpr int kExpandedWidth = 300;
// The first window's rows, from the top of the panel.
inline constexpr int kFirstRowCentre = 86;
inline constexpr int kRowPitch = 29;
inline constexpr Milliseconds kStartTimeout{15000};
inline constexpr Milliseconds kSettle{5000};

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

    struct Shown {
        XWindow sidebar = 0;
        XWindow browser = 0;  // the session's first window
    };
    // Waits until `app` shows the demo session: published, its first window active with the
    // sidebar shown, the sidebar's icon in the tray, and whatever `also` asks. None when it does
    // not in time.
    std::optional<Shown> waitForDemo(OndrakeProcess &app, const std::function<bool(const Shown &)> &also = {}) {
        if (!app.waitForLine(kDemoPublished, kStartTimeout)) return std::nullopt;
        Shown shown;
        const bool ready = waitUntil(
            [&] {
                const auto sidebars = x.windowsNamed(kSidebar);
                const auto first = x.windowsNamed(kFirstWindow);
                if (sidebars.size() != 1 || first.size() != 1 || tray.iconCount() != 1) return false;
                shown = {sidebars.front(), first.front()};
                return x.isViewable(shown.sidebar) && x.activeWindow() == shown.browser && (!also || also(shown));
            },
            kStartTimeout);
        return ready ? std::optional(shown) : std::nullopt;
    }
};

// Steps that run in the order they are written on one desktop, started once for them all; each
// fails at once when the desktop could not start.
template<typename Desktop>
class TrayDesktopSuite : public ::testing::Test {
protected:
    static inline std::unique_ptr<Desktop> desktop;
    static inline std::optional<QString> unavailable;

    static void SetUpTestSuite() {
        if ((unavailable = missingDesktopPrograms())) return;
        desktop = std::make_unique<Desktop>();
        if (!desktop->isReady()) unavailable = QString::fromLatin1(TrayDesktop::kNotReady);
    }
    static void TearDownTestSuite() { desktop.reset(); }
    void SetUp() override { ASSERT_FALSE(unavailable) << unavailable->toStdString(); }
};

}  // namespace ondrake::test
