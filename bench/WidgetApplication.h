#pragma once

#include <QApplication>

namespace ondrake::bench {

// Widgets need an application object; benchmarks draw offscreen. It is never destroyed: at exit
// Qt's own globals may be gone before it, and its clean-up would crash.
inline void ensureWidgetApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "OndrakeBench";
    static char *argv[] = {name, nullptr};
    (void)new QApplication(argc, argv);
}

// First among the bases of a benchmark's world whose members are widgets.
struct WithWidgetApplication {
    WithWidgetApplication() { ensureWidgetApplication(); }
};

}  // namespace ondrake::bench
