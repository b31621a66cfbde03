#pragma once

#include "XSession.h"

#include <QPoint>
#include <QRect>

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace ondrake::test {

// A system tray of the test's own, as a desktop panel keeps one: it owns the tray selection of
// the server's first screen, takes in the icons that ask to dock and shows them in a row in a
// strip at the top right of the screen. Icons are laid out 24 by 24, in the order they came.
// Events are handled whenever the test's event loop runs (waitUntil).
class SystemTray {
public:
    explicit SystemTray(const XServer &server);
    ~SystemTray();
    SystemTray(const SystemTray &) = delete;
    SystemTray &operator=(const SystemTray &) = delete;

    // Whether it owns the selection, so that applications started from now on see a tray.
    bool isRunning() const { return running_; }
    std::size_t iconCount() const { return icons_.size(); }
    // The middle of the icon that docked `index`th, on the root; where a person clicks it.
    QPoint iconCentre(std::size_t index) const;
    // Where the icon stands on the root now, if it is shown.
    std::optional<QRect> iconGeometry(std::size_t index) const;
    // The strip the icons stand in, on the root.
    QRect strip() const { return strip_; }

    static constexpr int kIconSide = 24;

private:
    std::uint32_t atom(const char *name) const { return x_.atom(name); }
    void handleEvents();
    void dock(XWindow icon);
    void place();

    XConnection x_;
    xcb_connection_t *const connection_ = x_.get();
    const XWindow root_ = x_.root();
    XWindow window_ = 0;
    std::uint32_t opcode_ = 0;
    QRect strip_;
    bool running_ = false;
    std::vector<XWindow> icons_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ondrake::test
