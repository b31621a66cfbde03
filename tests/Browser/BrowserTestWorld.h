#pragma once

#include "Async.h"
#include "ManualScheduler.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"

#include <QStringList>

namespace ondrake::test {

// A simulated world with Safari in it, not yet running.
struct BrowserWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SimulatedPrivacy privacy{workspace};

    template<typename T>
    T run(QCoro::Task<T> task) {
        return runToCompletion(scheduler, std::move(task));
    }

    // Tabs "https://<name>.example/" titled <name>; the first is current.
    static SimulatedSafari::Window window(std::int64_t id, const QStringList &names) {
        SimulatedSafari::Window w;
        w.id = id;
        for (const auto &n : names) w.tabs.push_back({n, QStringLiteral("https://%1.example/").arg(n)});
        return w;
    }
    QStringList titles(std::int64_t windowID) const {
        QStringList out;
        if (const auto w = safari.window(windowID))
            for (const auto &t : w->tabs) out << t.title;
        return out;
    }
};

}  // namespace ondrake::test
