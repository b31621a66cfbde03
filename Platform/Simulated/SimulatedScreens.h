#pragma once

#include "Pointer.h"
#include "Screens.h"

namespace ondrake {

// The simulated world's displays. Starts with one 1440 × 900 screen whose top 25 points are the
// menu bar. Main thread.
class SimulatedScreens final : public Screens {
    Q_OBJECT
public:
    static ScreenInfo standardScreen();

    explicit SimulatedScreens(QObject *parent = nullptr);

    std::vector<ScreenInfo> screens() const override { return screens_; }
    std::optional<ScreenInfo> mainScreen() const override;
    bool isCompositing() const override { return compositing_; }

    // Replaces the screens and announces the change.
    void setScreens(std::vector<ScreenInfo> screens);
    // Which screen holds the key window; an index that names none falls back to the first.
    void setMainScreenIndex(std::size_t index) { mainIndex_ = index; }
    // A desktop without a compositor; the world starts with one.
    void setCompositing(bool compositing) { compositing_ = compositing; }

private:
    std::vector<ScreenInfo> screens_;
    std::size_t mainIndex_ = 0;
    bool compositing_ = true;
};

// The simulated mouse.
class SimulatedPointer final : public Pointer {
    Q_OBJECT
public:
    QPointF location() const override { return location_; }
    Qt::MouseButtons pressedButtons() const override { return buttons_; }

    void moveTo(QPointF location) { location_ = location; }
    void setPressedButtons(Qt::MouseButtons buttons) {
        const bool pressed = !buttons_.testFlag(Qt::LeftButton) && buttons.testFlag(Qt::LeftButton);
        buttons_ = buttons;
        if (pressed) Q_EMIT primaryButtonPressed();
    }
    void setPrimaryButtonDown(bool down) {
        auto buttons = buttons_;
        setPressedButtons(buttons.setFlag(Qt::LeftButton, down));
    }

private:
    QPointF location_{100, 100};
    Qt::MouseButtons buttons_;
};

}  // namespace ondrake
