#pragma once

#include <QString>

namespace ondrake {

// The one AppleScript through which the app reads and drives Safari. Every handler refuses to
// run when Safari is not running (so a call never launches it), carries its own time-out, and
// answers with a result word ("OK", "NOT_RUNNING", "NO_WINDOW", "NO_TAB"), a list or a number.
const QString &safariScriptSource();

}  // namespace ondrake
