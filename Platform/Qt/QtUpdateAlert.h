#pragma once

#include "SimulatedUpdater.h"

namespace ondrake {

// Shows the updater's alerts as message boxes that do not block the event loop.
SimulatedUpdater::AlertPresenter messageBoxAlertPresenter();

}  // namespace ondrake
