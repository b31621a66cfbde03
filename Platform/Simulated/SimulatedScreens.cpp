#include "SimulatedScreens.h"

namespace ondrake {

ScreenInfo SimulatedScreens::standardScreen() {
    return {QStringLiteral("Built-in Display"), QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875), 60};
}

SimulatedScreens::SimulatedScreens(QObject *parent) : Screens(parent), screens_{standardScreen()} {}

std::optional<ScreenInfo> SimulatedScreens::mainScreen() const {
    if (screens_.empty()) return std::nullopt;
    return mainIndex_ < screens_.size() ? screens_[mainIndex_] : screens_.front();
}

void SimulatedScreens::setScreens(std::vector<ScreenInfo> screens) {
    screens_ = std::move(screens);
    Q_EMIT parametersChanged();
}

}  // namespace ondrake
