#include "SessionIdentities/WindowLineUp.h"
#include "Platform/TextHash.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <QStringList>

#include <unordered_set>

using namespace ondrake;

namespace {

// "address:title address:title ...", a short way to write a window's tabs.
QStringList parts(const char *text) { return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

struct Keys {
    explicit Keys(const char *text) {
        for (const auto &part : parts(text)) {
            urls.push_back(part.section(QLatin1Char(':'), 0, 0));
            titles.push_back(part.section(QLatin1Char(':'), 1));
        }
        for (std::size_t i = 0; i < urls.size(); ++i) keys.push_back({urls[i], titles[i]});
    }
    std::vector<QString> urls;
    std::vector<QString> titles;
    std::vector<PageKey> keys;
};

// The tab each place lines up with, -1 for none.
std::vector<int> tabsOf(const char *places, const char *tabs) {
    const Keys p(places);
    const Keys t(tabs);
    // Each address as the number of its first appearance, as a poll gives them.
    QHash<QString, std::uint32_t> numberOf;
    const auto numbered = [&](const Keys &side) {
        std::vector<std::uint32_t> numbers;
        for (const auto &url : side.urls) {
            if (!numberOf.contains(url)) numberOf.insert(url, std::uint32_t(numberOf.size()));
            numbers.push_back(numberOf.value(url));
        }
        return numbers;
    };
    const auto placeNumbers = numbered(p);
    const auto tabNumbers = numbered(t);
    const auto lined = lineUpWindow({p.keys, placeNumbers}, {t.keys, tabNumbers});
    std::vector<int> out;
    for (const auto &tab : lined.tabOf) out.push_back(tab ? int(*tab) : -1);
    return out;
}

TEST(WindowLineUp, LinesUpWhatTheTabListTells) {
    struct Case {
        const char *what;
        const char *places;
        const char *tabs;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"unchanged", "a:A s:S s:S", "a:A s:S s:S", {0, 1, 2}},
        {"a tab opened before twins", "h:H g:G g:G x:X", "n:N h:H g:G g:G x:X", {1, 2, 3, 4}},
        {"twins retitled together while a tab opens before them", "a:A i:I2 i:I2 b:B", "a:A n:N i:I3 i:I3 b:B",
         {0, 2, 3, 4}},
        {"retitled together while one of another title closes", "m:I297 m:I315 m:I315 n:N m:I315 m:I297",
         "m:I316 m:I316 n:N m:I316 m:I297", {-1, 0, 1, 2, 3, 4}},
        {"retitled together beside a tab of the address still loading", "m:I7 x:X m:I7", "m:I8 x:X m: m:I8",
         {0, 1, 3}},
        // The loading place lines up by its address alone, which leaves it to the pairing by place.
        {"a loading twin titled beside its twins", "s:S s: s:S x:X", "s:S s:S s:S x:X", {0, -1, 2, 3}},
        {"forty tabs opened past the band, the last tab closed",
         "a:A s:S s:S x:X s:S b:B",
         "a:A n1:N n2:N n3:N n4:N n5:N n6:N n7:N n8:N n9:N n10:N n11:N n12:N n13:N n14:N n15:N n16:N n17:N n18:N "
         "n19:N n20:N n21:N n22:N n23:N n24:N n25:N n26:N n27:N n28:N n29:N n30:N n31:N n32:N n33:N n34:N n35:N "
         "n36:N n37:N n38:N n39:N n40:N s:S s:S x:X s:S",
         {0, 41, 42, 43, 44, -1}},
        {"the later of two twins side by side navigated, and another such pair before them",
         "x:X x:X a:A u:U u:U b:B", "x:X y:Y a:A u:U v:V b:B", {0, -1, 2, 3, -1, 5}},
    };
    for (const auto &c : cases) EXPECT_EQ(tabsOf(c.places, c.tabs), c.expected) << c.what;
}

}  // namespace

// Pages are told apart by the hashes of their titles: every character, and the length, counts.
TEST(TextHash, TellsApartShortTextsThatDifferAnywhere) {
    QSet<QString> texts;
    for (int length = 0; length <= 12; ++length)
        for (int at = 0; at < length; ++at)
            for (const char16_t c : {u'a', u'b', u'\0', u'\u00e9'}) {
                QString text(length, QLatin1Char('x'));
                text[at] = QChar(c);
                texts.insert(text);
                texts.insert(QString(length, QLatin1Char('x')));
            }
    std::unordered_set<std::uint64_t> hashes;
    for (const auto &text : texts) hashes.insert(textHash(text));
    EXPECT_EQ(hashes.size(), std::size_t(texts.size()));
    EXPECT_EQ(textHash(u"Inbox"), textHash(QString::fromUtf8("Inbox")));
    EXPECT_NE(textHash(u"Inbox", 1), textHash(u"Inbox", 2));
}
