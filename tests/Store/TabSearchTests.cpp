#include "Store/TabSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <optional>

using namespace ondrake;
using TabSearch::Document;
using TabSearch::Result;

namespace {

struct ScoreCase {
    const char16_t *query;
    const char16_t *candidate;
    std::optional<std::int64_t> expected;
};

void expectScores(std::initializer_list<ScoreCase> cases) {
    for (const auto &c : cases)
        EXPECT_EQ(TabSearch::fuzzyScore(QString::fromUtf16(c.query), QString::fromUtf16(c.candidate)), c.expected)
            << QString::fromUtf16(c.query).toStdString() << " against " << QString::fromUtf16(c.candidate).toStdString();
}

TEST(FuzzyScore, WorkedValues) {
    expectScores({
        {u"gh", u"github", 14},
        {u"git", u"github.com", 40},
        {u"com", u"github.com", 25},
        {u"hub", u"github.com", 17},
        {u"news", u"hacker news", 41},
        {u"a", u"a", 14},
        {u"Git", u"GITHUB", 41},
        {u"GIT", u"github.com", 40},
        {u"x", u"abc", std::nullopt},
        {u"abc", u"ab", std::nullopt},
    });
}

TEST(FuzzyScore, GreedyOrderedMatching) {
    expectScores({
        {u"", u"anything", 0},
        {u"", u"", 0},
        {u"a", u"", std::nullopt},
        {u"ba", u"ab", std::nullopt},              // never steps back
        {u"ab", u"xa-ab", 2},                      // first a, not the better run after "-"
        {u"x", u"abcdefghijklmnopqrstuvwxyz", -5},  // one scattered match in a long text
        {u"a b", u"a b", 49},                       // inner spaces must match a space
        {u"a b", u"ab", std::nullopt},
        {u"ac", u"a_c", 23},   // "_" starts a word
        {u"ac", u"a:c", 15},   // ":" does not
        {u"b", u"aB", 1},      // nor does a change of case
        {u"x", u"a/x", 9},
    });
}

// Texts outside plain Latin go through grapheme clusters and canonical equivalence; the
// values are what the same rules give by hand.
TEST(FuzzyScore, UserPerceivedCharacters) {
    expectScores({
        {u"é", u"Cafe\u0301", 1},          // composed query, decomposed text: one character
        {u"e\u0301", u"CAFÉ", 1},          // and the other way round
        {u"e", u"cafe\u0301", std::nullopt},  // e with its accent is not e
        {u"news", u"日本 news", 42},
        {u"ü", u"über", 14},
        {u"Ü", u"ÜBER 日", 13},
        {u"👍🏽", u"ok 👍🏽 yes", 8},   // the emoji with its modifier is one character
        {u"👍", u"ok 👍🏽 yes", std::nullopt},
        {u"ab", u"a\r\n\r\n\r\n\r\nb", 14},  // each CR LF is one character
        {u"ab", u"a\r\r\r\r\r\r\r\rb", 13},
        {u"café", u"Café — Menu", 61},  // dashes and accents of Latin titles
        {u"—", u"A — B", 8},
    });
}

// Latin text is matched unit by unit; one character that only the grapheme path handles (a CJK
// one, never matched here) sends the same text down that path. Both must score alike, allowing
// for the extra character's share of the length penalty.
TEST(FuzzyScore, LatinShortcutAgreesWithGraphemePath) {
    std::mt19937 random(7);
    const QString alphabet = QString::fromUtf16(u"abcABC .-/_xyzéÉüÜßẞ—–€\u00adQq9");
    const auto text = [&](int length) {
        QString out;
        for (int k = 0; k < length; ++k) out += alphabet[qsizetype(random() % std::uint32_t(alphabet.size()))];
        return out;
    };
    for (int i = 0; i < 5000; ++i) {
        const QString query = text(1 + int(random() % 3));
        const QString candidate = text(int(random() % 12));
        const auto latin = TabSearch::fuzzyScore(query, candidate);
        const auto general = TabSearch::fuzzyScore(query, candidate + QString::fromUtf16(u"日"));
        ASSERT_EQ(latin.has_value(), general.has_value()) << query.toStdString() << " | " << candidate.toStdString();
        if (!latin) continue;
        const qsizetype extra = candidate.size() - query.size();
        EXPECT_EQ(*general, *latin + extra / 4 - (extra + 1) / 4) << query.toStdString() << " | " << candidate.toStdString();
    }
}

Document doc(const char *id, QString title, QString url = {}, QString domain = {}, QString group = {},
             std::vector<QString> metadata = {}) {
    return Document{QString::fromUtf8(id), std::move(title), std::move(url), std::move(domain), std::move(group),
                    std::move(metadata)};
}

TEST(TabSearch, BlankQueriesFindNothing) {
    const std::vector<Document> docs{doc("tab-1", " "), doc("tab-2", "\n")};
    for (const char16_t *query : {u"", u" ", u"  \n\t ", u"\u3000"})
        EXPECT_TRUE(TabSearch::search(QStringView(query), docs).empty());
}

TEST(TabSearch, FieldsAreWeighed) {
    // "git" scores 40 against "github.com" in every field; only the weight differs.
    const QString text = QStringLiteral("github.com");
    const std::vector<Document> docs{
        doc("url", "", text),
        doc("title", text),
        doc("domain", "", "", text),
        doc("group", "", "", "", text),
        doc("metadata", "", "", "", "", {QStringLiteral("zzz"), text}),
        doc("none", "nothing", "x", "y", "z", {QStringLiteral("w")}),
    };
    EXPECT_EQ(TabSearch::search(u"  git ", docs), (std::vector<Result>{
                                                      {"title", 160},
                                                      {"domain", 120},
                                                      {"group", 120},
                                                      {"url", 40},
                                                      {"metadata", 40},
                                                  }));
}

TEST(TabSearch, BestFieldCountsAndTiesKeepTheGivenOrder) {
    std::vector<Document> docs{
        doc("tab-1", "Weather", "https://weather.example/", "weather.example"),
        doc("tab-2", "Hacker News", "https://news.ycombinator.com/", "news.ycombinator.com"),
        doc("tab-3", "Notes", "https://example.com/news", "example.com"),
        doc("tab-4", "Hacker News", "https://other.example/", "other.example"),
        doc("tab-5", "", "", "", "", {QStringLiteral("the newsletter queue")}),
        doc("tab-6", "a long title where n e w s are scattered across it all"),
        doc("tab-7", "Hacker News"),
    };
    // tab-2's domain (3 × 58) beats its own title (4 × 41), which tab-4 and tab-7 tie on.
    EXPECT_EQ(TabSearch::search(u"news", docs), (std::vector<Result>{
                                                    {"tab-2", 174},
                                                    {"tab-4", 164},
                                                    {"tab-7", 164},
                                                    {"tab-5", 38},
                                                    {"tab-3", 37},
                                                    {"tab-6", 32},
                                                }));
    std::reverse(docs.begin(), docs.end());
    const auto reversed = TabSearch::search(u"news", docs);
    ASSERT_EQ(reversed.size(), 6u);
    EXPECT_EQ(reversed[1].tabID, "tab-7");
    EXPECT_EQ(reversed[2].tabID, "tab-4");
}

TEST(TabSearch, NegativeScoresStillCount) {
    const std::vector<Document> docs{doc("tab-1", "abcdefghijklmnopqrstuvwxyz"), doc("tab-2", "abc")};
    EXPECT_EQ(TabSearch::search(u"x", docs), (std::vector<Result>{{"tab-1", -20}}));
}

// The index ranks as the plain search does, over every document or over the previous query's
// matches when the query only grew.
TEST(TabSearchIndex, AgreesWithRankingEveryDocument) {
    std::mt19937 random(11);
    const QString alphabet = QString::fromUtf16(u"abcABC .-/_éÉe\u0301üÜİ日本\r\n—Qq9");
    const auto text = [&](int length) {
        QString out;
        for (int k = 0; k < length; ++k) out += alphabet[qsizetype(random() % std::uint32_t(alphabet.size()))];
        return out;
    };
    std::vector<Document> docs;
    for (int i = 0; i < 400; ++i) {
        std::vector<QString> metadata;
        if (i % 3 == 0) metadata = {text(6), text(int(random() % 3))};
        docs.push_back(Document{QStringLiteral("tab-%1").arg(i), text(int(random() % 16)), text(int(random() % 20)),
                                text(int(random() % 8)), i % 4 == 0 ? text(5) : QString(), metadata});
    }
    const TabSearch::Index index(docs);
    for (int i = 0; i < 300; ++i) {
        const QString previous = text(1 + int(random() % 2));
        const QString next = previous + text(1 + int(random() % 2));
        const auto all = TabSearch::rank(next, docs);
        ASSERT_EQ(index.rank(next), all) << next.toStdString();
        if (!TabSearch::Index::narrows(previous, next)) continue;
        std::vector<std::size_t> matched;
        for (const auto &ranked : index.rank(previous)) matched.push_back(ranked.document);
        std::sort(matched.begin(), matched.end());
        EXPECT_EQ(index.rank(next, matched), all) << previous.toStdString() << " then " << next.toStdString();
    }
    EXPECT_TRUE(TabSearch::Index().rank(u"a").empty());
    EXPECT_TRUE(index.rank(u"  ").empty());
}

TEST(TabSearchIndex, NarrowsOnlyWhenTheCharactersTypedSoFarStay) {
    struct Case {
        const char16_t *previous;
        const char16_t *next;
        bool narrows;
    };
    for (const Case &c : std::initializer_list<Case>{
             {u"d", u"do", true},
             {u"do", u"do", true},
             {u"Do", u"dOc", true},      // case does not matter
             {u"d ", u"d o", true},      // trailing blanks are trimmed
             {u" d", u"d", true},
             {u"do", u"d", false},       // a shorter query finds more
             {u"do", u"dx", false},
             {u"", u"d", false},          // nothing was found for a blank query
             {u"  ", u"  d", false},
             {u"e", u"e\u0301", false},   // the accent makes another character of the e
             {u"e", u"é", false},
             {u"👍", u"👍🏽", false},      // as does a skin tone of an emoji
         })
        EXPECT_EQ(TabSearch::Index::narrows(QStringView(c.previous), QStringView(c.next)), c.narrows)
            << QString::fromUtf16(c.previous).toStdString() << " then " << QString::fromUtf16(c.next).toStdString();
}

}  // namespace
