#pragma once

#include "Scheduler.h"
#include "Screens.h"

#include <functional>
#include <memory>

namespace ondrake {

// A running display link: calls back once per frame of its screen. Destroying it stops it.
class DisplayLink {
public:
    virtual ~DisplayLink() = default;
    // False once the link lost its screen; it calls back no more.
    virtual bool isValid() const = 0;
};

// The display's frame pacing. Media time is the scheduler's `now()`.
class FrameClock {
public:
    // The time at which the frame being prepared will be shown.
    using FrameCallback = std::function<void(double targetTimestamp)>;
    // The link lost its screen and will not call back again.
    using LostCallback = std::function<void()>;

    virtual ~FrameClock() = default;

    // A link on that screen, or nothing when the screen is not attached. Both callbacks come
    // from the main loop, never from inside a call on the link; the owner may destroy the link
    // from within them.
    virtual std::unique_ptr<DisplayLink> makeDisplayLink(const ScreenInfo &screen, FrameCallback onFrame,
                                                         LostCallback onLost) = 0;
};

// A link paced by a scheduler's repeating timer at a screen's refresh rate. What tells it that
// its screen went is the clock that made it.
class PacedDisplayLink final : public DisplayLink {
public:
    PacedDisplayLink(Scheduler &scheduler, double refreshRate, FrameClock::FrameCallback onFrame,
                     FrameClock::LostCallback onLost);
    ~PacedDisplayLink() override;

    bool isValid() const override { return valid_; }
    const QString &screenName() const { return screenName_; }
    void setScreenName(QString name) { screenName_ = std::move(name); }
    // Stops the frames and reports the loss from the main loop.
    void lose();
    // Follows a changed refresh rate from the next frame on.
    void setRefreshRate(double refreshRate);

    static double periodFor(double refreshRate);

private:
    void arm();

    Scheduler &scheduler_;
    double period_;
    // Shared with the timer and the posted loss notice, so neither calls into a link that is gone.
    std::shared_ptr<FrameClock::FrameCallback> onFrame_;
    std::shared_ptr<FrameClock::LostCallback> onLost_;
    TimerHandle timer_;
    QString screenName_;
    bool valid_ = true;
};

}  // namespace ondrake
