#include "ModelTestSupport.h"

#include "Ondrake/Model/WireFormat.h"

#include <random>

using namespace ondrake;
using namespace ondrake::test;

namespace {

TEST(WireFormat, WritesDatesAsTheGeneralFormatterDoes) {
    std::mt19937_64 random(7);
    std::vector<QDateTime> dates = {
        utc(1970, 1, 1, 0, 0, 0),  utc(1969, 12, 31, 23, 59, 59), utc(2000, 2, 29), utc(2100, 3, 1),
        utc(1, 1, 1),             utc(9999, 12, 31, 23, 59, 59), QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(-5, 6, 1), QTime(0, 0), Qt::UTC),        utc().addMSecs(-1), utc().addMSecs(999),
        utc().toOffsetFromUtc(-7200), QDateTime(),
    };
    for (int i = 0; i < 5000; ++i)
        dates.push_back(QDateTime::fromMSecsSinceEpoch(qint64(random() % 400'000'000'000'000ULL) - 200'000'000'000'000LL, Qt::UTC));
    for (const QDateTime &date : dates) ASSERT_EQ(wire::dateText(date), json::formatDate(date)) << date.toString(Qt::ISODateWithMs).toStdString();
}

TEST(WireFormat, ReadsDatesAsTheGeneralParserDoes) {
    const char *texts[] = {
        "2025-03-01T09:30:00Z", "1970-01-01T00:00:00Z", "0001-01-01T00:00:00Z", "9999-12-31T23:59:59Z",
        "2024-02-29T12:00:00Z", "2023-02-29T12:00:00Z", "2025-13-01T00:00:00Z", "2025-00-10T00:00:00Z",
        "2025-03-01T24:00:00Z", "2025-03-01T23:60:00Z", "2025-03-01T23:59:60Z", "0000-01-01T00:00:00Z",
        "2025-03-01T09:30:00+02:00", "2025-03-01T09:30:00-0130", "2025-03-01T09:30:00.5Z", "2025-03-01 09:30:00Z",
        "2025-03-01T09:30:00z", "2025-3-01T09:30:00Z", "2025-03-01T09:30:0xZ", "", "١٢٣٤-03-01T09:30:00Z",
    };
    for (const char *text : texts) {
        const QString s = QString::fromUtf8(text);
        EXPECT_EQ(wire::dateFromText(s), json::parseDate(s)) << text;
    }
    std::mt19937_64 random(11);
    for (int i = 0; i < 5000; ++i) {
        const QDateTime date = QDateTime::fromSecsSinceEpoch(qint64(random() % 200'000'000'000ULL) - 50'000'000'000LL, Qt::UTC);
        const QString text = json::formatDate(date);
        ASSERT_EQ(wire::dateFromText(text), json::parseDate(text)) << text.toStdString();
    }
}

TEST(WireFormat, WritesAndReadsUuidsAsTheGeneralCodeDoes) {
    for (int i = 0; i < 1000; ++i) {
        const QUuid uuid = QUuid::createUuid();
        const QString text = json::uuidString(uuid);
        ASSERT_EQ(wire::uuidText(uuid), text);
        ASSERT_EQ(wire::uuidFromText(text), uuid);
        ASSERT_EQ(wire::uuidFromText(text.toLower()), uuid);
    }
    const char *rejected[] = {
        "", "6F9619FF-8B86-D011-B42D-00C04FC964F", "6F9619FF-8B86-D011-B42D-00C04FC964FFF",
        "6F9619FF8B86-D011-B42D-00C04FC964FF-", "{6F9619FF-8B86-D011-B42D-00C04FC964F}", "6F9619FG-8B86-D011-B42D-00C04FC964FF",
        "6F9619FF-8B86-D011-B42D-00C04FC964FF\n",
    };
    for (const char *text : rejected) EXPECT_EQ(wire::uuidFromText(QString::fromLatin1(text)), std::nullopt) << text;
}

}  // namespace
