#pragma once

#include "Screens.h"
#include "WindowList.h"

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <vector>

namespace ondrake {

// The window list as far as Qt can tell it. A desktop under X11 or Wayland lets no application
// see other applications' windows, so this lists only this process's own visible top-level
// windows: the sidebar panel and the windows of the simulated browser shown on screen, which
// carry the number and owner of the window they stand for (`kWindowNumberProperty`,
// `kOwnerProcessProperty`). Neither does Qt know the stacking order: windows are listed in the
// order they were last activated or raised, as far as this object has seen. Main thread.
class QtWindowList final : public WindowList {
public:
    static constexpr const char *kWindowNumberProperty = "ondrakeWindowNumber";
    static constexpr const char *kOwnerProcessProperty = "ondrakeOwnerProcess";

    explicit QtWindowList(const Screens &screens);
    ~QtWindowList() override;

    std::optional<std::vector<WindowInfo>> onScreenWindows() const override;
    std::optional<WindowInfo> window(std::int64_t number) const override;

    // Tells the list that the window came to the front without taking focus.
    void noteRaised(QWindow *window);

private:
    std::vector<QWindow *> frontToBack() const;
    WindowInfo describe(QWindow &window) const;

    const Screens &screens_;
    QObject context_;
    std::vector<QPointer<QWindow>> recent_;  // most recently activated or raised first
};

}  // namespace ondrake
