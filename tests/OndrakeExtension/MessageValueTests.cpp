#include "MessageValue.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ondrake;

namespace {

std::optional<MessageValue> parsed(QByteArrayView text) { return MessageValue::parse(text); }

TEST(MessageValue, ReadsOnlyOneWellFormedJsonText) {
    struct Case {
        const char *name;
        QByteArray text;
        bool readable;
    };
    const QByteArray deepest = QByteArray(MessageValue::kMaximumDepth, '[') + QByteArray(MessageValue::kMaximumDepth, ']');
    const QByteArray tooDeep = '[' + deepest + ']';
    const std::vector<Case> cases = {
        {"an object", R"({"a":[1,-2.5e3,true,false,null,"x"],"b":{}})", true},
        {"spaces around and between", " \t\r\n{ \"a\" : [ 1 , 2 ] }\n", true},
        {"a bare number", "-0.5E+2", true},
        {"a bare string", R"("s")", true},
        {"a byte-order mark first", "\xEF\xBB\xBF{}", true},
        {"raw control characters in a string", "\"a\x01\tb\"", true},
        {"every escape", R"("\"\\\/\b\f\n\r\t\u00e9\uD83D\uDE00")", true},
        {"multi-byte UTF-8", "\"\xC3\xA9\xE2\x80\x94\xF0\x9F\x98\x80\"", true},
        {"nesting to the limit", deepest, true},
        {"nesting past the limit", tooDeep, false},
        {"nothing", "", false},
        {"only spaces", "  ", false},
        {"two values", "{} {}", false},
        {"text after the value", "{}x", false},
        {"an unclosed object", R"({"a":1)", false},
        {"an unclosed string", R"({"a":"b})", false},
        {"a trailing comma", "[1,]", false},
        {"a missing colon", R"({"a" 1})", false},
        {"a key that is not text", "{1:2}", false},
        {"a single-quoted string", "'a'", false},
        {"an unknown escape", R"("\x41")", false},
        {"a short \\u escape", R"("\u12")", false},
        {"a leading zero", "01", false},
        {"a bare minus", "-", false},
        {"a fraction without digits", "1.", false},
        {"an exponent without digits", "1e", false},
        {"a leading plus", "+1", false},
        {"a misspelt literal", "tru", false},
        {"a lone continuation byte", "\"\x80\"", false},
        {"an overlong form", "\"\xC0\xAF\"", false},
        {"an encoded surrogate", "\"\xED\xA0\x80\"", false},
        {"past U+10FFFF", "\"\xF4\x90\x80\x80\"", false},
        {"a sequence cut short", "\"\xE2\x80\"", false},
        {"invalid UTF-8 outside any string", "{\"a\":1}\xFF", false},
    };
    for (const auto &c : cases) EXPECT_EQ(parsed(c.text).has_value(), c.readable) << c.name;
}

TEST(MessageValue, IntegersAreExactWholeNumbersWithin64Bits) {
    constexpr auto kMax = std::numeric_limits<qint64>::max();
    constexpr auto kMin = std::numeric_limits<qint64>::min();
    const std::vector<std::pair<const char *, std::optional<qint64>>> cases = {
        {"0", 0},
        {"-0", 0},
        {"42", 42},
        {"-7", -7},
        {"3.0", 3},
        {"3.000", 3},
        {"3e2", 300},
        {"1.5e1", 15},
        {"1500e-2", 15},
        {"0.000123e7", 1230},
        {"0e400", 0},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9.223372036854775807e18", kMax},
        {"-9223372036854775808.0", kMin},
        {"9223372036854775808", std::nullopt},   // one past the top
        {"-9223372036854775809", std::nullopt},  // one past the bottom, not rounded onto it
        {"18446744073709551616", std::nullopt},
        {"1e19", std::nullopt},
        {"1e400", std::nullopt},
        {"-1e400", std::nullopt},
        {"1e-400", std::nullopt},
        {"1.5", std::nullopt},
        {"1e-1", std::nullopt},
        {"0.1", std::nullopt},
        {"12345678901234567890123", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        const auto value = parsed(text);  // a literal: it outlives the value
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(value->kind(), MessageValue::Kind::number) << text;
        EXPECT_EQ(value->integer(), expected) << text;
    }
    for (const char *other : {"true", "\"1\"", "null", "[1]"}) EXPECT_EQ(parsed(other)->integer(), std::nullopt) << other;
}

TEST(MessageValue, StringsResolveTheirEscapes) {
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {R"("plain")", QStringLiteral("plain")},
        {R"("")", QString()},
        {"\"caf\xC3\xA9 \xE2\x80\x94\"", QStringLiteral("caf\u00e9 \u2014")},
        {R"("a\"b\\c\/d")", QStringLiteral("a\"b\\c/d")},
        {R"("\b\f\n\r\t")", QStringLiteral("\b\f\n\r\t")},
        {R"("\u0041\u00E9x")", QStringLiteral("A\u00e9x")},
        {R"("\uD83D\uDE00")", QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"\"\xC3\xA9\\n\xC3\xA9\"", QStringLiteral("\u00e9\n\u00e9")},
    };
    for (const auto &[text, expected] : cases) {
        const auto value = parsed(text);
        ASSERT_TRUE(value) << text.constData();
        EXPECT_EQ(value->text(), expected) << text.constData();
    }
    EXPECT_TRUE(parsed(R"("state")")->textEquals(QLatin1StringView("state")));
    EXPECT_TRUE(parsed(R"("st\u0061te")")->textEquals(QLatin1StringView("state")));
    EXPECT_FALSE(parsed(R"("State")")->textEquals(QLatin1StringView("state")));
    EXPECT_FALSE(parsed(R"("states")")->textEquals(QLatin1StringView("state")));
    EXPECT_FALSE(parsed("1")->textEquals(QLatin1StringView("1")));
    EXPECT_EQ(parsed("1")->text(), QString());
}

TEST(MessageValue, CursorsWalkMembersAndElementsInOrder) {
    const QByteArray text = R"({ "a" : [ 1, {"x":"]}"}, [[]], "q\"}" ] , "b":true,"c\u0021":{} })";
    const auto object = parsed(text);
    ASSERT_TRUE(object);
    std::vector<QString> keys;
    std::vector<MessageValue::Kind> kinds;
    std::optional<MessageValue> array;
    for (MessageCursor member(*object); member.next();) {
        keys.push_back(member.key().text());
        kinds.push_back(member.value().kind());
        if (member.key().textEquals(QLatin1StringView("a"))) array = member.value();
    }
    using Kind = MessageValue::Kind;
    EXPECT_EQ(keys, (std::vector<QString>{"a", "b", "c!"}));
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::array, Kind::boolean, Kind::object}));

    ASSERT_TRUE(array);
    std::vector<Kind> elements;
    std::vector<QString> texts;
    for (MessageCursor element(*array); element.next();) {
        elements.push_back(element.value().kind());
        texts.push_back(element.value().text());
    }
    EXPECT_EQ(elements, (std::vector<Kind>{Kind::number, Kind::object, Kind::array, Kind::string}));
    EXPECT_EQ(texts.back(), QStringLiteral("q\"}"));

    for (const char *empty : {"[]", "{ }", "[ ]", "7", "\"[1]\"", "null"}) {
        MessageCursor cursor(*parsed(empty));
        EXPECT_FALSE(cursor.next()) << empty;
    }
}

}  // namespace
