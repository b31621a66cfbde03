#include "ModelTestSupport.h"
#include "TestSupport.h"

#include "Log.h"
#include "Ondrake/Model/OndrakeArchive.h"
#include "Ondrake/Model/TabRecordFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// Dates near the ends of the four-digit years, with offsets that keep them inside or carry them out.
struct EdgeDate {
    const char *text;
    bool readable;
};
const EdgeDate kEdgeDates[] = {
    {"0001-01-01T00:00:00Z", true},
    {"0001-01-01T00:00:00-00:01", true},
    {"0001-01-01T00:01:00+00:01", true},
    {"0001-01-01T23:59:00+23:59", true},
    {"9999-12-31T23:59:59Z", true},
    {"9999-12-31T23:58:59-00:01", true},
    {"9999-12-31T00:00:00-23:59", true},
    {"9999-12-31T23:59:59+0001", true},
    {"0001-01-01T00:00:00+00:01", false},
    {"0001-01-01T00:00:59+0001", false},
    {"0001-01-01T23:58:00+23:59", false},
    {"9999-12-31T23:59:59-00:01", false},
    {"9999-12-31T00:01:00-23:59", false},
};

QByteArray recordFileWith(const char *date) {
    return QByteArray(R"({"schemaVersion": 3, "savedAt": "DATE", "settings": {}, "featureOverrides": {},
        "groups": [{"id": "00000000-0000-0000-0000-0000000000C0", "name": "G", "createdAt": "DATE", "sortIndex": 0}],
        "records": [{"id": "00000000-0000-0000-0000-00000000000A", "title": "A", "createdAt": "DATE",
                     "lastActivatedAt": "DATE", "snoozeUntil": "DATE", "reminderAt": "DATE"}],
        "recentlyClosed": [{"id": "00000000-0000-0000-0000-0000000000B0", "closedAt": "DATE",
                            "tabs": [{"id": "00000000-0000-0000-0000-00000000000B", "title": "B", "closedAt": "DATE"}]}]})")
        .replace("DATE", date);
}

QByteArray archiveWith(const char *date) {
    return QByteArray(R"({"format": "ondrake", "version": 1, "exportedAt": "DATE", "settings": {},
        "groups": [{"id": "00000000-0000-0000-0000-0000000000C0", "name": "G", "createdAt": "DATE", "sortIndex": 0}],
        "tabs": [{"id": "00000000-0000-0000-0000-00000000000A", "title": "A", "createdAt": "DATE", "closedAt": "DATE",
                  "readAt": "DATE", "reminderAt": "DATE", "order": 0}]})")
        .replace("DATE", date);
}

TEST(CalendarEdge, EveryRecordFileTheStoreReadsSavesAndReadsBackUnchanged) {
    TemporaryPaths paths;
    LogCapture logs;
    QDateTime now = utc();
    for (const auto &d : kEdgeDates) {
        SCOPED_TRACE(d.text);
        now = now.addSecs(1);
        TabRecordFileStore store(paths.paths(), Logger(QStringLiteral("Persistence")));
        QDir().mkpath(QFileInfo(store.fileURL()).absolutePath());
        QFile file(store.fileURL());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(recordFileWith(d.text));
        file.close();

        const auto first = store.load(now);
        if (!d.readable) {
            EXPECT_EQ(first.outcome.kind, TabRecordFileStore::LoadOutcome::Kind::recovered);
            EXPECT_TRUE(first.outcome.reason.startsWith(QStringLiteral("decode failed: "))) << first.outcome.reason.toStdString();
            continue;
        }
        ASSERT_EQ(first.outcome, TabRecordFileStore::LoadOutcome::loaded());
        const QDateTime edge = first.state.records.at(0).createdAt;
        store.save(first.state, edge);
        const auto second = TabRecordFileStore(paths.paths(), Logger(QStringLiteral("Persistence"))).load(now);
        ASSERT_EQ(second.outcome, TabRecordFileStore::LoadOutcome::loaded());
        EXPECT_EQ(second.state, first.state.preparedForSave(edge));
    }
}

TEST(CalendarEdge, EveryArchiveTheImportReadsEncodesAndReadsBackUnchanged) {
    for (const auto &d : kEdgeDates) {
        SCOPED_TRACE(d.text);
        if (!d.readable) {
            EXPECT_THROW(OndrakeArchive::read(archiveWith(d.text), utc()), OndrakeArchive::ArchiveError);
            continue;
        }
        const OndrakeArchive archive = OndrakeArchive::read(archiveWith(d.text), utc());
        EXPECT_EQ(OndrakeArchive::read(archive.encode(), utc(2030)), archive);
    }
}

}  // namespace
