#include "ModelTestSupport.h"

#include "Ondrake/Model/TabMetadataValue.h"

#include <cmath>
#include <limits>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using Case = TabMetadataValue::Case;

TEST(TabMetadataValue, DecodesEachJsonValueToTheFirstCaseThatFits) {
    struct Row {
        const char *json;
        TabMetadataValue expected;
    };
    const Row rows[] = {
        {"null", TabMetadataValue::null()},
        {"true", true},
        {"3", 3},
        {"-9007199254740993", qint64(-9007199254740993)},
        {"3.0", 3},
        {"3.5", 3.5},
        {"1e300", 1e300},
        {"\"3\"", "3"},
        {"[]", TabMetadataValue::Array{}},
        {"{}", TabMetadataValue::Object{}},
        {R"([1, [true, null], {"a": "b"}])",
         TabMetadataValue::Array{1, TabMetadataValue::Array{true, TabMetadataValue::null()},
                                 TabMetadataValue::Object{{QStringLiteral("a"), "b"}}}},
    };
    for (const auto &row : rows) {
        const auto decoded = TabMetadataValue::fromJson(jsonValue(row.json));
        EXPECT_EQ(decoded, row.expected) << row.json;
        EXPECT_EQ(decoded.kind(), row.expected.kind()) << row.json;
    }
}

TEST(TabMetadataValue, RoundTripsThroughTheWrittenBytes) {
    const TabMetadataValue value = TabMetadataValue::Object{
        {QStringLiteral("url"), "https://a.example/x"},
        {QStringLiteral("count"), 7},
        {QStringLiteral("ratio"), 0.25},
        {QStringLiteral("tags"), TabMetadataValue::Array{"a", false, TabMetadataValue::null()}},
    };
    const QString bytes = written(value.toJson());
    EXPECT_EQ(bytes, QStringLiteral("{\n"
                                    "  \"count\" : 7,\n"
                                    "  \"ratio\" : 0.25,\n"
                                    "  \"tags\" : [\n"
                                    "    \"a\",\n"
                                    "    false,\n"
                                    "    null\n"
                                    "  ],\n"
                                    "  \"url\" : \"https:\\/\\/a.example\\/x\"\n"
                                    "}"));
    EXPECT_EQ(TabMetadataValue::fromJson(jsonValue(bytes.toUtf8().constData())), value);
}

TEST(TabMetadataValue, ADateComesBackAsItsSecondsSince1970) {
    const TabMetadataValue whole = utc();
    const auto wholeBack = TabMetadataValue::fromJson(whole.toJson());
    EXPECT_NE(wholeBack, whole);
    EXPECT_EQ(wholeBack, TabMetadataValue(utc().toSecsSinceEpoch()));

    const TabMetadataValue fractional = utc().addMSecs(250);
    const auto fractionalBack = TabMetadataValue::fromJson(fractional.toJson());
    EXPECT_EQ(fractionalBack.kind(), Case::real);
    EXPECT_DOUBLE_EQ(fractionalBack.get<double>(), double(utc().toSecsSinceEpoch()) + 0.25);
}

TEST(TabMetadataValue, ANonFiniteDoubleIsWrittenAsNull) {
    for (const double d : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()}) {
        const TabMetadataValue value = TabMetadataValue::Array{d};
        EXPECT_EQ(written(value.toJson()), QStringLiteral("[\n  null\n]"));
        EXPECT_EQ(TabMetadataValue::fromJson(value.toJson()), TabMetadataValue(TabMetadataValue::Array{TabMetadataValue::null()}));
    }
}

TEST(TabMetadataValue, ComparesByCaseAndPayload) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(TabMetadataValue(nan), TabMetadataValue(nan));
    EXPECT_EQ(TabMetadataValue(0.0), TabMetadataValue(-0.0));
    EXPECT_EQ(qHash(TabMetadataValue(0.0)), qHash(TabMetadataValue(-0.0)));
    EXPECT_NE(TabMetadataValue(1), TabMetadataValue(1.0));
    EXPECT_NE(TabMetadataValue(true), TabMetadataValue(1));
    EXPECT_NE(TabMetadataValue("1"), TabMetadataValue(1));
    EXPECT_EQ(TabMetadataValue(utc()), TabMetadataValue(utc().toOffsetFromUtc(3600)));
    EXPECT_NE(TabMetadataValue(TabMetadataValue::Array{1, 2}), TabMetadataValue(TabMetadataValue::Array{2, 1}));
    EXPECT_NE(qHash(TabMetadataValue(TabMetadataValue::Array{1, 2})), qHash(TabMetadataValue(TabMetadataValue::Array{2, 1})));
    EXPECT_NE(qHash(TabMetadataValue(TabMetadataValue::Array{})), qHash(TabMetadataValue(TabMetadataValue::Object{})));
}

TEST(TabMetadataValue, ObjectsCompareAndHashRegardlessOfInsertionOrder) {
    TabMetadataValue::Object first;
    first.emplace(QStringLiteral("b"), 2);
    first.emplace(QStringLiteral("a"), "x");
    TabMetadataValue::Object second;
    second.emplace(QStringLiteral("a"), "x");
    second.emplace(QStringLiteral("b"), 2);
    EXPECT_EQ(TabMetadataValue(first), TabMetadataValue(second));
    EXPECT_EQ(qHash(TabMetadataValue(first)), qHash(TabMetadataValue(second)));
    // Swapping values between keys changes the value and, almost always, the hash.
    const TabMetadataValue::Object swapped{{QStringLiteral("a"), 2}, {QStringLiteral("b"), "x"}};
    EXPECT_NE(TabMetadataValue(first), TabMetadataValue(swapped));
    EXPECT_NE(qHash(TabMetadataValue(first)), qHash(TabMetadataValue(swapped)));
}

TEST(TabMetadataValue, ReportsWhereAValueCannotBeRead) {
    try {
        TabMetadataValue::fromJson(QJsonValue(QJsonValue::Undefined), QStringLiteral("metadata.k"));
        FAIL();
    } catch (const json::DecodingError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Unrecognised metadata value"));
        EXPECT_EQ(error.path(), QStringLiteral("metadata.k"));
    }
}

}  // namespace
