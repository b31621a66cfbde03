#pragma once

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
// far as this object has seen. Main thread.
class QtWindowList final : public WindowList {
public:
    static constexpr const char *kWindowNumberProperty = "ondrakeWindowNumber";
    static constexpr const char *kOwnerProcessProperty = "ondrakeOwnerProcess";

    // `stacking`: the server's order where one can be read; nothing keeps the order of activation.
    QtWindowList(const Screens &screens, std::unique_ptr<X11Stacking> stacking = X11Stacking::forApplication());
    ~QtWindowList() override;

    std::optional<std::vector<WindowInfo>> onScreenWindows() const override;
    std::optional<WindowInfo> window(std::int64_t number) const override;
    // Announced where the X server's order is read.
    void setChangeHandler(ChangeHandler handler) const override;

    // Tells the list that the window came to the front without taking focus. Only the order of
    // activation needs telling; a server's stacking order knows it already.
    void noteRaised(QWindow *window);
    bool readsStackingOrder() const { return stacking_ != nullptr; }

private:
    std::vector<QWindow *> frontToBack() const;
    std::vector<QWindow *> activationOrder() const;
    std::optional<std::vector<QWindow *>> stackingOrder() const;
    WindowInfo describe(QWindow &window) const;

    const Screens &screens_;
    std::unique_ptr<X11Stacking> stacking_;
    QObject context_;
    std::vector<QPointer<QWindow>> recent_;  // most recently activated or raised first
};

}  // namespace ondrake
