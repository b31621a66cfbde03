#include "TabCorpus.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include "NoNetwork.h"
#include "StorePlatform.h"
#include "WidgetApplication.h"

#include <QLineEdit>
#include <QTest>

#include <cctype>

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// `count` tabs of the corpus in five windows, every third nested under the tab before it.
std::vector<SafariWindow> nestedCorpus(std::int64_t count) {
    const bench::TabCorpus corpus(count);
    std::vector<SafariWindow> windows;
    for (std::int64_t w = 0; w < 5; ++w) windows.push_back(SafariWindow{100 + w, w + 1, w == 0, {}});
    for (const auto &tab : corpus.tabs) {
        auto &window = windows[std::size_t(tab.windowID - 100)];
        SafariTab copy = tab;
        if (window.tabs.size() % 3 == 2) copy.parentID = window.tabs.back().id;
        window.tabs.push_back(copy);
    }
    return windows;
}

// Those tabs polled once by a store that lists all windows.
struct LargeSidebar : bench::WithWidgetApplication, test::MockBrowserStore {
    explicit LargeSidebar(std::int64_t count)
        : MockBrowserStore(nestedCorpus(count), std::make_shared<test::NoNetwork>()) {
        showAllWindows();
        poll();
    }

    void settle() {
        QCoreApplication::processEvents();
        scheduler.runUntilIdle();
    }
};

// One character typed into the sidebar's search field: the store's query, the search results,
// the list's rebuild and the repaint of the visible rows. Three moments of typing: the first
// letter, which turns the tree into results, a second one that still matches half the tabs, and
// one deep into a word. Every other turn types in capitals, which ranks the same but is a new
// query, so the store's memo of the last query never answers the keystroke. The rows shown are
// the same every turn, so their titles come from lines shaped before, as when typing on narrows
// a search without changing its first results.
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
// A keystroke takes a few milliseconds beside whatever else the machine runs: the median of
// several runs says more than any one of them.
BENCHMARK(BM_SearchKeystroke)
    ->ArgsProduct({{5000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

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
