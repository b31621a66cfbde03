#pragma once

#include "Qt/X11Placement.h"
#include "Qt/X11Stacking.h"
#include "Screens.h"
#include "WindowList.h"

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <memory>
#include <vector>

namespace ondrake {

// The window list as far as Qt can tell it. A desktop under X11 or Wayland lets no application
// see other applications' windows, so this lists only this process's own visible top-level
// windows: the sidebar panel and the windows of the simulated browser shown on screen, which
// carry the number and owner of the window they stand for (`kWindowNumberProperty`,
// `kOwnerProcessProperty`). On X11 they are listed in the server's real stacking order, whoever
// raised them; elsewhere (Wayland, offscreen) in the order they were last activated or raised, as
// far as this object has seen. On X11 each window's place is read from the server at every look,
// so a window the window manager is moving by hand is seen where it stands, not where its client
// last heard it was. Main thread.
class QtWindowList final : public WindowList {
public:
    static constexpr const char *kWindowNumberProperty = "ondrakeWindowNumber";
    static constexpr const char *kOwnerProcessProperty = "ondrakeOwnerProcess";

    // `stacking`: the server's order where one can be read; nothing keeps the order of activation.
    // `placement`: where the server has the windows; nothing takes the places Qt last heard of.
    QtWindowList(const Screens &screens, std::unique_ptr<X11Stacking> stacking = X11Stacking::forApplication(),
                 std::unique_ptr<X11Placement> placement = X11Placement::forApplication());
    ~QtWindowList() override;

    std::optional<std::vector<WindowInfo>> onScreenWindows() const override;
    std::optional<WindowInfo> window(std::int64_t number) const override;
    // Announced where the X server's order is read.
    void setChangeHandler(ChangeHandler handler) const override;

    // Tells the list that the window came to the front without taking focus. Only the order of
    // activation needs telling; a server's stacking order knows it already.
    void noteRaised(QWindow *window);
    bool readsStackingOrder() const { return stacking_ != nullptr; }
    bool readsPlaces() const { return placement_ != nullptr; }

private:
    std::vector<QWindow *> frontToBack() const;
    std::vector<QWindow *> activationOrder() const;
    std::optional<std::vector<QWindow *>> stackingOrder() const;
    // Where each window stands now, in Qt's coordinates, in the order given: to the server's pixel
    // where it is asked, which under a fractional scale may fall between Qt's whole units.
    std::vector<QRectF> places(const std::vector<QWindow *> &windows) const;
    WindowInfo describe(QWindow &window, const QRectF &place) const;

    const Screens &screens_;
    std::unique_ptr<X11Stacking> stacking_;
    std::unique_ptr<X11Placement> placement_;
    QObject context_;
    std::vector<QPointer<QWindow>> recent_;  // most recently activated or raised first
};

}  // namespace ondrake
