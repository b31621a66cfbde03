#include "SimulatedFrameClock.h"

#include <algorithm>

namespace ondrake {

class SimulatedFrameClock::Link final : public DisplayLink {
public:
    Link(std::shared_ptr<std::vector<Link *>> registry, PacedDisplayLink *paced)
        : registry_(std::move(registry)), paced_(paced) {
        registry_->push_back(this);
    }
    ~Link() override { std::erase(*registry_, this); }
    bool isValid() const override { return paced_->isValid(); }
    PacedDisplayLink &paced() { return *paced_; }

private:
    std::shared_ptr<std::vector<Link *>> registry_;
    std::unique_ptr<PacedDisplayLink> paced_;
};

SimulatedFrameClock::SimulatedFrameClock(Scheduler &scheduler, SimulatedScreens &screens)
    : scheduler_(scheduler), screens_(screens) {
    connection_ = QObject::connect(&screens, &Screens::parametersChanged, [this] { screensChanged(); });
}

SimulatedFrameClock::~SimulatedFrameClock() { QObject::disconnect(connection_); }

std::unique_ptr<DisplayLink> SimulatedFrameClock::makeDisplayLink(const ScreenInfo &screen, FrameCallback onFrame,
                                                                  LostCallback onLost) {
    const auto all = screens_.screens();
    const auto it = std::find_if(all.begin(), all.end(), [&](const ScreenInfo &s) { return s.name == screen.name; });
    if (it == all.end()) return nullptr;
    auto *paced = new PacedDisplayLink(scheduler_, it->refreshRate, std::move(onFrame), std::move(onLost));
    paced->setScreenName(it->name);
    return std::make_unique<Link>(links_, paced);
}

int SimulatedFrameClock::liveLinkCount() const { return int(links_->size()); }

void SimulatedFrameClock::screensChanged() {
    const auto all = screens_.screens();
    for (auto *link : *links_) {
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const ScreenInfo &s) { return s.name == link->paced().screenName(); });
        if (it == all.end())
            link->paced().lose();
        else
            link->paced().setRefreshRate(it->refreshRate);
    }
}

}  // namespace ondrake
