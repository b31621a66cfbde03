#pragma once

#include "Pointer.h"
#include "Screens.h"

#include <QDeadlineTimer>

#include <chrono>
#include <cstdint>
#include <optional>

class QScreen;
struct xcb_connection_t;

namespace ondrake {

// The desktop's screens through Qt. Qt places windows from the primary screen's top left, y down;
// these frames are flipped over the primary screen's height so that its bottom left is the origin.
class QtScreens final : public Screens {
    Q_OBJECT
public:
    explicit QtScreens(QObject *parent = nullptr);

    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPoint nativeOrigin() const override;
    // Under X11, whether a compositing manager holds its selection; other desktops always composite.
    bool isCompositing() const override;

    static ScreenInfo describe(const QScreen &screen, const QRect &primaryGeometry);

private:
    void watch(QScreen *screen);

    // The window tracker asks several times a second; the screens change rarely.
    mutable std::optional<std::vector<ScreenInfo>> screens_;
};

// The mouse through Qt. The pressed buttons are those Qt saw pressed over this application's own
// windows and, under X11, those the server has down: a press on a window manager's title bar, as
// the user drags a window, reaches no application. The manager lets go of a window it moves a
// moment after the server's button comes up, and until then the button counts as held, so that
// nothing moves the window under the manager's hand. Other desktops tell of no presses elsewhere.
class QtPointer final : public Pointer {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kManagerLetGo{100};
    // The window tracker asks several times in one tick; one answer of the server serves them all.
    static constexpr std::chrono::milliseconds kServerAnswerLasts{5};

    explicit QtPointer(const Screens &screens);
    QPointF location() const override;
    Qt::MouseButtons pressedButtons() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Qt::MouseButtons serverButtons() const;
    Qt::MouseButtons heldOnServer() const;

    const Screens &screens_;
    xcb_connection_t *connection_ = nullptr;
    std::uint32_t root_ = 0;
    mutable Qt::MouseButtons answered_;
    mutable QDeadlineTimer answerExpires_;  // expired until the first answer
    // The server's buttons last seen down, and from when they count as let go.
    mutable Qt::MouseButtons held_;
    mutable std::optional<QDeadlineTimer> letGo_;
};

}  // namespace ondrake
