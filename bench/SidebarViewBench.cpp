#include "TabCorpus.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include "Async.h"
#include "Browser/MockSafariController.h"
#include "ManualScheduler.h"
#include "SimulatedPrivacy.h"
#include "SimulatedWorkspace.h"
#include "Store/TabStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cctype>

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

void ensureWidgetApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "OndrakeBench";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

struct NoNetwork final : HttpClient {
    QCoro::Task<HttpResponse> get(QUrl, qint64) override { co_return HttpResponse::transportFailure(); }
};

// 5,000 tabs of the corpus in five windows, every third nested under the tab before it, polled
// once by a store that lists all windows.
struct LargeSidebar {
    explicit LargeSidebar(std::int64_t count) {
        ensureWidgetApplication();
        workspace.launch(safariBundleIdentifier());
        defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows"));
        const bench::TabCorpus corpus(count);
        std::vector<SafariWindow> windows;
        for (std::int64_t w = 0; w < 5; ++w) windows.push_back(SafariWindow{100 + w, w + 1, w == 0, {}});
        for (const auto &tab : corpus.tabs) {
            auto &window = windows[std::size_t(tab.windowID - 100)];
            SafariTab copy = tab;
            if (window.tabs.size() % 3 == 2) copy.parentID = window.tabs.back().id;
            window.tabs.push_back(copy);
        }
        browser = std::make_unique<MockSafariController>(BrowserCapabilities(0x2C3E3), std::move(windows));
        store = std::make_unique<TabStore>(*browser, TabRecordFileStore(paths, Logger(QStringLiteral("Persistence"))),
                                           TabStore::Services{scheduler, workspace, permission, defaults, paths,
                                                              std::make_shared<NoNetwork>(), {}});
        runToCompletion(scheduler, store->requestRefresh());
    }

    void settle() {
        QCoreApplication::processEvents();
        scheduler.runUntilIdle();
    }

    QTemporaryDir folder;
    Paths paths = Paths::under(folder.path());
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedPrivacy privacy{workspace};
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};
    std::unique_ptr<MockSafariController> browser;
    std::unique_ptr<TabStore> store;
};

// One character typed into the sidebar's search field: the store's query, the search results,
// the list's rebuild and the repaint of the visible rows. Three moments of typing: the first
// letter, which turns the tree into results, a second one that still matches half the tabs, and
// one deep into a word. Every other turn types in capitals, which ranks the same but is a new
// query, so the store's memo of the last query never answers the keystroke.
struct Keystroke {
    const char *before;
    char key;
    const char *label;
};
const Keystroke kKeystrokes[] = {
    {"", 'd', "\"\" + d"},
    {"d", 'o', "\"d\" + o"},
    {"docum", 'e', "\"docum\" + e"},
};

void BM_SearchKeystroke(benchmark::State &state) {
    LargeSidebar world(state.range(0));
    const Keystroke &keystroke = kKeystrokes[state.range(1)];
    SidebarView view(*world.store, {}, {world.scheduler, world.defaults, world.privacy});
    view.resize(280, 760);
    view.show();
    world.store->toggleSearch();
    world.settle();
    QLineEdit *field = view.searchField()->lineEdit();
    const QString before = QString::fromUtf8(keystroke.before);
    std::size_t found = 0;
    bool capitals = false;
    for (auto _ : state) {
        state.PauseTiming();
        capitals = !capitals;
        world.store->setSearchQuery(capitals ? before.toUpper() : before);
        world.settle();
        view.tabList()->rebuild();
        field->setFocus();
        state.ResumeTiming();

        QTest::keyClick(field, capitals ? char(std::toupper(keystroke.key)) : keystroke.key);
        QCoreApplication::processEvents();  // the list rebuilds once per turn of the loop
        view.tabList()->viewport()->repaint();
        found = world.store->searchResults().size();
    }
    state.SetLabel(QStringLiteral("%1: %2 results").arg(QString::fromUtf8(keystroke.label)).arg(found).toStdString());
}
BENCHMARK(BM_SearchKeystroke)->ArgsProduct({{5000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

// The palette opened over the store and drawn: empty, as it opens, and with a query left in the
// shared search state.
void BM_OpenPalette(benchmark::State &state) {
    LargeSidebar world(state.range(0));
    const QString query = state.range(1) ? QStringLiteral("e") : QString();
    for (auto _ : state) {
        state.PauseTiming();
        world.store->setSearchQuery(query);
        state.ResumeTiming();

        auto palette = std::make_unique<CommandPaletteView>(*world.store, [] {});
        palette->show();
        QCoreApplication::processEvents();
        palette->repaint();

        state.PauseTiming();
        palette.reset();
        world.settle();
        state.ResumeTiming();
    }
    state.SetLabel(query.isEmpty() ? "empty query" : "query \"e\"");
}
BENCHMARK(BM_OpenPalette)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond);

}  // namespace
