#pragma once

#include "Pointer.h"
#include "Screens.h"

class QScreen;

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
// windows; the desktop tells no application about presses elsewhere.
class QtPointer final : public Pointer {
    Q_OBJECT
public:
    explicit QtPointer(const Screens &screens);
    QPointF location() const override;
    Qt::MouseButtons pressedButtons() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const Screens &screens_;
};

}  // namespace ondrake
