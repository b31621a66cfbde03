#include "TabCorpus.h"

#include "Ondrake/Model/FaviconHost.h"
#include "Store/TabSearch.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// The document of one tab as the store builds it for every search.
TabSearch::Document document(const SafariTab &tab, const bench::TabCorpus &corpus) {
    TabSearch::Document doc{tab.id, tab.title, absoluteText(tab.url), faviconHost(tab.url).value_or(QString()), {}, {}};
    if (const TabRecord *record = corpus.lookup()(tab.id)) {
        if (record->groupID)
            if (const auto group = corpus.groups.find(*record->groupID); group != corpus.groups.end())
                doc.groupName = group->second.name;
        for (const auto &[key, value] : record->metadata)
            if (value.holds<QString>()) doc.metadata.push_back(value.get<QString>());
    }
    return doc;
}

std::vector<TabSearch::Document> documents(const bench::TabCorpus &corpus) {
    std::vector<TabSearch::Document> docs;
    for (const auto &tab : corpus.tabs) docs.push_back(document(tab, corpus));
    return docs;
}

const QString kQueries[] = {QStringLiteral("e"), QStringLiteral("doc"), QStringLiteral("kubernetes")};

// One keystroke: the query against every tab's documents, ranked.
void BM_Search(benchmark::State &state) {
    const bench::TabCorpus corpus(state.range(0));
    const auto docs = documents(corpus);
    const QString &query = kQueries[state.range(1)];
    std::size_t found = 0;
    for (auto _ : state) {
        const auto results = TabSearch::search(query, docs);
        found = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.SetLabel(QStringLiteral("\"%1\", %2 found").arg(query).arg(found).toStdString());
}
BENCHMARK(BM_Search)->ArgsProduct({{5000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

// The same keystroke with the documents made afresh from the tabs and records, as the store does.
void BM_SearchWithDocuments(benchmark::State &state) {
    const bench::TabCorpus corpus(state.range(0));
    const QString &query = kQueries[state.range(1)];
    for (auto _ : state) {
        const auto results = TabSearch::search(query, documents(corpus));
        benchmark::DoNotOptimize(results.data());
    }
}
BENCHMARK(BM_SearchWithDocuments)->ArgsProduct({{5000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

}  // namespace
