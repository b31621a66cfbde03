#include "Ondrake/Sidebar/TabDragOutcome.h"

#include "Ondrake/Sidebar/SidebarMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ondrake {

namespace {
// Pointer travel can be anything; keep the count within what an int holds.
int whole(double value) {
    const double rounded = std::round(value);
    if (!std::isfinite(rounded)) return 0;
    return int(std::clamp(rounded, double(std::numeric_limits<int>::min() / 2), double(std::numeric_limits<int>::max() / 2)));
}
}  // namespace

int rowsMoved(double translationHeight) { return whole(translationHeight / sidebar::kRowPitch); }
int levelsMoved(double translationWidth) { return whole(translationWidth / sidebar::kNestingStep); }

}  // namespace ondrake
