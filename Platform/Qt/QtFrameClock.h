#pragma once

#include "FrameClock.h"

namespace ondrake {

// Display links paced at the refresh rate that Qt reports for the screen. Qt offers no callback
// at the display's vertical blank outside a window's own painting, so a precise timer at the
// screen's period stands in. A link whose screen is unplugged is lost.
class QtFrameClock final : public FrameClock {
public:
    explicit QtFrameClock(Scheduler &scheduler) : scheduler_(scheduler) {}

    std::unique_ptr<DisplayLink> makeDisplayLink(const ScreenInfo &screen, FrameCallback onFrame,
                                                 LostCallback onLost) override;

private:
    Scheduler &scheduler_;
};

}  // namespace ondrake
