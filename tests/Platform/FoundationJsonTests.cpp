#include "FoundationJson.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace ondrake;

namespace {

QByteArray written(const QJsonValue &v) { return json::write(v); }

TEST(FoundationJsonWriter, SortsKeysAtEveryLevelAndPrettyPrints) {
    const QJsonObject object{
        {"zeta", 1},
        {"alpha", QJsonObject{{"b", true}, {"a", QJsonValue::Null}}},
        {"Mid", QJsonArray{1, "x"}},
    };
    // Byte order: capitals sort before lower case.
    EXPECT_EQ(written(object), QByteArray("{\n"
                                          "  \"Mid\" : [\n"
                                          "    1,\n"
                                          "    \"x\"\n"
                                          "  ],\n"
                                          "  \"alpha\" : {\n"
                                          "    \"a\" : null,\n"
                                          "    \"b\" : true\n"
                                          "  },\n"
                                          "  \"zeta\" : 1\n"
                                          "}"));
}

TEST(FoundationJsonWriter, EscapesLikeThePlatform) {
    EXPECT_EQ(written(QStringLiteral("https://a.b/c")), QByteArray(R"("https:\/\/a.b\/c")"));
    EXPECT_EQ(written(QStringLiteral("q\"b\\n\nt\tc\x01")), QByteArray(R"("q\"b\\n\nt\tc\u0001")"));
    EXPECT_EQ(written(QStringLiteral("Ondrake’s café")), QStringLiteral("\"Ondrake’s café\"").toUtf8());
}

TEST(FoundationJsonWriter, EmptyContainers) {
    EXPECT_EQ(written(QJsonArray{}), QByteArray("[\n\n]"));
    EXPECT_EQ(written(QJsonObject{{"a", QJsonObject{}}}), QByteArray("{\n  \"a\" : {\n\n  }\n}"));
}

TEST(FoundationJsonWriter, Numbers) {
    struct Case {
        QJsonValue value;
        const char *text;
    };
    const Case cases[] = {
        {QJsonValue(3.0), "3"},
        {QJsonValue(-42.0), "-42"},
        {QJsonValue(0.1), "0.1"},
        {QJsonValue(1.0 / 3.0), "0.3333333333333333"},
        {QJsonValue(qint64(9007199254740993)), "9007199254740993"},
        {QJsonValue(std::numeric_limits<qint64>::min()), "-9223372036854775808"},
        {QJsonValue(1e300), "1e+300"},
        {QJsonValue(std::nan("")), "null"},
        {QJsonValue(std::numeric_limits<double>::infinity()), "null"},
    };
    for (const auto &c : cases) EXPECT_EQ(written(c.value), QByteArray(c.text)) << c.text;
}

TEST(FoundationJsonWriter, OutputParsesBackToTheSameDocument) {
    const QJsonObject object{{"a/b", QJsonArray{1.5, "x/y", QJsonObject{{"k", false}}}}, {"n", 12}};
    const auto parsed = json::parse(written(object));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->object(), object);
}

TEST(FoundationJsonIntegers, WholeNumbersThatFitAreIntegers) {
    EXPECT_EQ(json::integerValue(QJsonValue(5)), 5);
    EXPECT_EQ(json::integerValue(QJsonValue(5.0)), 5);
    EXPECT_EQ(json::integerValue(QJsonValue(5.5)), std::nullopt);
    EXPECT_EQ(json::integerValue(QJsonValue(1e19)), std::nullopt);
    EXPECT_EQ(json::integerValue(QJsonValue(true)), std::nullopt);
    EXPECT_EQ(json::integerValue(QJsonValue("5")), std::nullopt);
    const auto big = json::parse("[9223372036854775807, -9223372036854775808, 9223372036854775808]");
    ASSERT_TRUE(big);
    EXPECT_EQ(json::integerValue(big->array().at(0)), std::numeric_limits<qint64>::max());
    EXPECT_EQ(json::integerValue(big->array().at(1)), std::numeric_limits<qint64>::min());
    EXPECT_EQ(json::integerValue(big->array().at(2)), std::nullopt);
}

TEST(FoundationJsonDates, WritesUtcWholeSecondsWithZ) {
    const QDateTime date(QDate(2026, 3, 4), QTime(5, 6, 7, 890), Qt::OffsetFromUTC, 3600);
    EXPECT_EQ(json::formatDate(date), QStringLiteral("2026-03-04T04:06:07Z"));
}

TEST(FoundationJsonDates, Reading) {
    const QDateTime utc(QDate(2026, 3, 4), QTime(4, 6, 7), Qt::UTC);
    struct Case {
        const char *text;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        {"2026-03-04T04:06:07Z", utc},
        {"2026-03-04T05:06:07+01:00", utc},
        {"2026-03-04T02:36:07-0130", utc},
        {"2026-03-04T04:06:07.5Z", std::nullopt},
        {"2026-03-04T04:06:07", std::nullopt},
        {"2026-02-30T04:06:07Z", std::nullopt},
        {"2026-03-04 04:06:07Z", std::nullopt},
        {"2026-03-04T04:06:07z", std::nullopt},
        {"2026-03-04T04:06:07+01", std::nullopt},
        {"2024-02-29T12:00:00Z", QDateTime(QDate(2024, 2, 29), QTime(12, 0), Qt::UTC)},
        {"2023-02-29T12:00:00Z", std::nullopt},
        {"0001-01-01T00:00:00Z", QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC)},
        {"0000-01-01T00:00:00Z", std::nullopt},
        {"0001-01-01T00:00:00+00:01", std::nullopt},
        {"0001-01-01T00:01:00+00:01", QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC)},
        {"9999-12-31T23:59:59-00:01", std::nullopt},
        {"9999-12-31T23:58:59-0001", QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC)},
        {"9999-12-31T23:59:59Z", QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC)},
        {"2025-03-01T24:00:00Z", std::nullopt},
        {"2025-03-01T23:59:60Z", std::nullopt},
        {"2025-3-01T09:30:00Z", std::nullopt},
        {"\u0661\u0662\u0663\u0664-03-01T09:30:00Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) EXPECT_EQ(json::parseDate(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(FoundationJsonDates, RoundTripAcrossTheCalendar) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 5000; ++i) {
        // Whole seconds between the years 1 and 9999.
        const qint64 seconds = qint64(random() % 315'000'000'000ULL) - 62'135'000'000LL;
        const QDateTime date = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        const QString text = json::formatDate(date);
        ASSERT_EQ(text, date.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"))) << seconds;
        ASSERT_EQ(json::parseDate(text), date) << text.toStdString();
    }
    EXPECT_EQ(json::formatDate(QDateTime::fromMSecsSinceEpoch(-1, Qt::UTC)), QStringLiteral("1969-12-31T23:59:59Z"));
}

TEST(FoundationJsonUuids, UpperCaseOutReadEitherCase) {
    const QUuid uuid = QUuid::fromString(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_EQ(json::uuidString(uuid), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(json::parseUuid(u"0f8fad5b-d9cb-469f-a165-70867728950e"), uuid);
    EXPECT_EQ(json::parseUuid(u"0F8FAD5B-D9CB-469F-A165-70867728950E"), uuid);
    EXPECT_EQ(json::parseUuid(u"{0F8FAD5B-D9CB-469F-A165-70867728950E}"), std::nullopt);
    EXPECT_EQ(json::parseUuid(u"0F8FAD5B"), std::nullopt);
    const char16_t *rejected[] = {
        u"0F8FAD5B-D9CB-469F-A165-70867728950", u"0F8FAD5B-D9CB-469F-A165-70867728950EE",
        u"0F8FAD5BD9CB-469F-A165-70867728950E-", u"0F8FAD5G-D9CB-469F-A165-70867728950E",
        u"0F8FAD5B-D9CB-469F-A165-70867728950\n",
    };
    for (const char16_t *text : rejected) EXPECT_EQ(json::parseUuid(QStringView(text)), std::nullopt);
    for (int i = 0; i < 100; ++i) {
        const QUuid random = QUuid::createUuid();
        ASSERT_EQ(json::uuidString(random), random.toString(QUuid::WithoutBraces).toUpper());
        ASSERT_EQ(json::parseUuid(json::uuidString(random).toLower()), random);
    }
}

TEST(FoundationJsonReader, LenientDefaultsStrictTypes) {
    const json::Reader r(QJsonObject{{"s", "x"}, {"n", QJsonValue::Null}, {"i", 3.0}, {"f", 2.5}, {"b", true}}, "rec");
    EXPECT_EQ(r.string("s"), "x");
    EXPECT_EQ(r.string("n", "dflt"), "dflt");
    EXPECT_EQ(r.string("missing", "dflt"), "dflt");
    EXPECT_EQ(r.integer("i"), 3);
    EXPECT_EQ(r.number("f"), 2.5);
    EXPECT_TRUE(r.boolean("b"));
    EXPECT_THROW(r.integer("f"), json::DecodingError);
    EXPECT_THROW(r.string("i"), json::DecodingError);
    EXPECT_THROW(r.boolean("i"), json::DecodingError);
    EXPECT_THROW(r.number("b"), json::DecodingError);
    EXPECT_THROW(r.requiredUuid("missing"), json::DecodingError);
    EXPECT_THROW(r.requiredUuid("s"), json::DecodingError);
    try {
        r.integer("f");
    } catch (const json::DecodingError &e) {
        EXPECT_EQ(e.path(), "rec.f");
    }
}

TEST(FoundationJsonParse, UntrustedBytesNeverCrash) {
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const QByteArray inputs[] = {deep, "{\"a\":", "\xff\xfe", "1e999999", "[1,]", "", "nul"};
    for (const auto &bytes : inputs) {
        QString error;
        EXPECT_FALSE(json::parse(bytes, &error)) << bytes.left(20).constData();
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
