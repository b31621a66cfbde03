#include "FoundationJson.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

QJsonObject sampleRecord(int i) {
    return QJsonObject{
        {QStringLiteral("id"), json::uuidString(QUuid::createUuid())},
        {QStringLiteral("title"), QStringLiteral("Tab number %1").arg(i)},
        {QStringLiteral("url"), QStringLiteral("https://example.com/page/%1").arg(i)},
        {QStringLiteral("index"), i},
        {QStringLiteral("score"), i * 0.25},
    };
}

// The writer against Qt's own, over the same document.
void BM_FoundationJsonWrite(benchmark::State &state) {
    QJsonArray records;
    for (int i = 0; i < state.range(0); ++i) records.append(sampleRecord(i));
    for (auto _ : state) benchmark::DoNotOptimize(json::write(records));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FoundationJsonWrite)->Arg(1000);

void BM_QtJsonWrite(benchmark::State &state) {
    QJsonArray records;
    for (int i = 0; i < state.range(0); ++i) records.append(sampleRecord(i));
    for (auto _ : state) benchmark::DoNotOptimize(QJsonDocument(records).toJson(QJsonDocument::Indented));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_QtJsonWrite)->Arg(1000);

}  // namespace
