#pragma once

#include <QtGlobal>

#include <optional>

class QKeyEvent;

namespace ondrake {

// Tells the repeats of a held key from new presses. Most repeats come marked; on X a repeat is a
// release and a press of the key stamped with the same instant, and the toolkit, which pairs them
// by looking ahead in its queue, leaves the pair unmarked when the press has not arrived yet. No
// hand releases and presses a key within the same millisecond.
class KeyRepeats {
public:
    // Told of every key release of the application, in order (the same release more than once
    // does no harm: a key event goes up through the widgets).
    void noteRelease(const QKeyEvent &release);
    // Whether the press is a repeat of a key held down; the same answer however often it is asked.
    bool isRepeat(const QKeyEvent &press) const;

private:
    struct Release {
        int key = 0;
        quint64 time = 0;
    };
    std::optional<Release> lastRelease_;
};

}  // namespace ondrake
