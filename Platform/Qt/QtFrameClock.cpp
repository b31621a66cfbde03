#include "Qt/QtFrameClock.h"

#include <QGuiApplication>
#include <QObject>
#include <QScreen>

namespace ondrake {

namespace {

class QtDisplayLink final : public DisplayLink {
public:
    QtDisplayLink(Scheduler &scheduler, QScreen *screen, FrameClock::FrameCallback onFrame,
                  FrameClock::LostCallback onLost)
        : paced_(scheduler, screen->refreshRate(), std::move(onFrame), std::move(onLost)) {
        QObject::connect(screen, &QScreen::refreshRateChanged, &context_,
                         [this](qreal rate) { paced_.setRefreshRate(rate); });
        QObject::connect(screen, &QObject::destroyed, &context_, [this] { paced_.lose(); });
    }
    bool isValid() const override { return paced_.isValid(); }

private:
    PacedDisplayLink paced_;
    QObject context_;  // ends the connections with the link
};

}  // namespace

std::unique_ptr<DisplayLink> QtFrameClock::makeDisplayLink(const ScreenInfo &screen, FrameCallback onFrame,
                                                           LostCallback onLost) {
    for (auto *s : QGuiApplication::screens())
        if (s->name() == screen.name)
            return std::make_unique<QtDisplayLink>(scheduler_, s, std::move(onFrame), std::move(onLost));
    return nullptr;
}

}  // namespace ondrake
