#include "KeyRepeats.h"

#include <QKeyEvent>

namespace ondrake {

void KeyRepeats::noteRelease(const QKeyEvent &release) { lastRelease_ = Release{release.key(), release.timestamp()}; }

bool KeyRepeats::isRepeat(const QKeyEvent &press) const {
    if (press.isAutoRepeat()) return true;
    // Events made up without a time, as tests make them, are presses.
    return press.timestamp() != 0 && lastRelease_ && lastRelease_->key == press.key()
           && lastRelease_->time == press.timestamp();
}

}  // namespace ondrake
