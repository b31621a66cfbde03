#include "Log.h"
#include "Ondrake/Model/TabRecordFileStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <fstream>
#include <string>

using namespace ondrake;

namespace {

constexpr int kRecords = 10000;
const QDateTime kNow(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

PersistedState sampleState() {
    PersistedState state = PersistedState::fresh(kNow);
    std::vector<TabGroup> groups;
    for (int g = 0; g < 12; ++g)
        groups.push_back(TabGroup{.id = TabGroupID(), .name = QStringLiteral("Group %1").arg(g), .createdAt = kNow, .sortIndex = g});
    for (int i = 0; i < kRecords; ++i) {
        TabRecord record{
            .id = OndrakeID(),
            .url = QStringLiteral("https://site%1.example.com/articles/%2?ref=sidebar").arg(i % 300).arg(i),
            .title = QStringLiteral("Article number %1 about something worth reading").arg(i),
            .faviconHost = QStringLiteral("site%1.example.com").arg(i % 300),
            .createdAt = kNow.addSecs(-i * 60),
            .lastActivatedAt = kNow.addSecs(-i * 30),
            .pinned = i % 17 == 0,
            .readLater = i % 5 == 0,
            .metadata = {{QStringLiteral("visits"), i % 40},
                         {QStringLiteral("score"), i * 0.125},
                         {QStringLiteral("source"), "bench"},
                         {QStringLiteral("tags"), TabMetadataValue::Array{"news", i % 2 == 0}}},
        };
        if (i > 0 && i % 3 != 0) record.parentID = state.records[std::size_t(i - 1 - i % 3)].id;
        if (i % 4 == 0) record.groupID = groups[std::size_t(i % 12)].id;
        if (i % 7 == 0) record.closedAt = kNow.addSecs(-i);
        if (record.readLater) record.addedToReadLaterAt = record.createdAt;
        state.records.push_back(std::move(record));
    }
    state.groups = std::move(groups);
    state.featureOverrides = {{QStringLiteral("tabGroups"), true}, {QStringLiteral("immersiveMode"), false}};
    for (int b = 0; b < 25; ++b) {
        ClosedTabBatch batch{.closedAt = kNow.addSecs(-b * 600)};
        for (int t = 0; t < 4; ++t)
            batch.tabs.push_back(ClosedTab::fromRecord(state.records[std::size_t(b * 40 + t)], batch.closedAt));
        state.recentlyClosed.add(std::move(batch));
    }
    return state;
}

// One record file on disk for the whole run.
struct Fixture {
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;

    Fixture() {
        path = QDir(dir.path()).filePath(QStringLiteral("TabRecords.json"));
        TabRecordFileStore store(path, SchemaMigrator::standard(), Logger(QStringLiteral("Persistence")));
        store.save(sampleState(), kNow);
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
    }

    static Fixture &shared() {
        static Fixture fixture;
        return fixture;
    }
};

QByteArray readAll(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void BM_RecordFileLoad(benchmark::State &state) {
    Fixture &fixture = Fixture::shared();
    TabRecordFileStore store(fixture.path, SchemaMigrator::standard(), Logger(QStringLiteral("Persistence")));
    for (auto _ : state) {
        auto result = store.load(kNow);
        if (result.state.records.size() != kRecords) state.SkipWithError("load lost records");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * fixture.bytes.size());
}
BENCHMARK(BM_RecordFileLoad)->Unit(benchmark::kMillisecond);

// Baseline for the load: the same file read and parsed into Qt's JSON DOM, nothing more.
void BM_QtJsonParseRecordFile(benchmark::State &state) {
    Fixture &fixture = Fixture::shared();
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(readAll(fixture.path));
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * fixture.bytes.size());
}
BENCHMARK(BM_QtJsonParseRecordFile)->Unit(benchmark::kMillisecond);

void BM_RecordFileSave(benchmark::State &state) {
    Fixture &fixture = Fixture::shared();
    TabRecordFileStore store(fixture.path, SchemaMigrator::standard(), Logger(QStringLiteral("Persistence")));
    const PersistedState live = store.load(kNow).state;
    for (auto _ : state) store.save(live, kNow);
    state.SetBytesProcessed(state.iterations() * fixture.bytes.size());
}
BENCHMARK(BM_RecordFileSave)->Unit(benchmark::kMillisecond);

// Baseline for the save: the same document already in Qt's DOM, written out and saved atomically.
void BM_QtJsonWriteRecordFile(benchmark::State &state) {
    Fixture &fixture = Fixture::shared();
    const QJsonDocument document = QJsonDocument::fromJson(fixture.bytes);
    const QString path = fixture.path + QStringLiteral(".qt");
    for (auto _ : state) {
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(document.toJson(QJsonDocument::Indented));
        file.commit();
    }
    state.SetBytesProcessed(state.iterations() * fixture.bytes.size());
}
BENCHMARK(BM_QtJsonWriteRecordFile)->Unit(benchmark::kMillisecond);

long statusKilobytes(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    return -1;
}

// Peak resident memory during one load: the high-water mark is reset just before it.
void BM_RecordFileLoadPeakMemory(benchmark::State &state) {
    Fixture &fixture = Fixture::shared();
    TabRecordFileStore store(fixture.path, SchemaMigrator::standard(), Logger(QStringLiteral("Persistence")));
    long before = 0;
    long peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        before = statusKilobytes("VmRSS");
        {
            auto result = store.load(kNow);
            benchmark::DoNotOptimize(result);
        }
        peak = statusKilobytes("VmHWM");
    }
    state.counters["rss_before_MB"] = double(before) / 1024;
    state.counters["peak_rss_MB"] = double(peak) / 1024;
    state.counters["load_peak_growth_MB"] = double(peak - before) / 1024;
    state.counters["file_MB"] = double(fixture.bytes.size()) / (1024 * 1024);
}
BENCHMARK(BM_RecordFileLoadPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
