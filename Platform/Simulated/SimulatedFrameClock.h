#pragma once

#include "FrameClock.h"
#include "SimulatedScreens.h"

#include <QPointer>

namespace ondrake {

// Display links of the simulated screens, paced by the scheduler's clock (virtual time under a
// ManualScheduler). A link whose screen is taken away is lost.
class SimulatedFrameClock final : public FrameClock {
public:
    SimulatedFrameClock(Scheduler &scheduler, SimulatedScreens &screens);
    ~SimulatedFrameClock() override;

    std::unique_ptr<DisplayLink> makeDisplayLink(const ScreenInfo &screen, FrameCallback onFrame,
                                                 LostCallback onLost) override;
    // Links made and not yet destroyed.
    int liveLinkCount() const;

private:
    class Link;
    void screensChanged();

    Scheduler &scheduler_;
    SimulatedScreens &screens_;
    QMetaObject::Connection connection_;
    std::shared_ptr<std::vector<Link *>> links_ = std::make_shared<std::vector<Link *>>();
};

}  // namespace ondrake
