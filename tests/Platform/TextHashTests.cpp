#include "Platform/SharedTextMap.h"
#include "Platform/TextHash.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

// Our tables against Qt's, which they replace: the same writes leave the same entries, found by
// the text itself or by a view of an equal text held anywhere else.
TEST(TextHash, TablesAgreeWithQtsForTextsOfEveryLength) {
    const std::vector<QString> texts = {
        QString(),
        QStringLiteral(""),
        QStringLiteral("a"),
        QStringLiteral("tab-7"),
        QStringLiteral("tab-7\u00e9"),  // seven, not eight
        QStringLiteral("tab-1234"),
        QStringLiteral("window-42"),
        QStringLiteral("tab-12345678901"),
        QStringLiteral("tab-123456789012"),  // sixteen
        QStringLiteral("https://mail.example.com/inbox?folder=archive&page=12"),
        QStringLiteral("\u041f\u043e\u0447\u0442\u0430 \u2014 \u0412\u0445\u043e\u0434\u044f\u0449\u0438\u0435"),
        QStringLiteral("\u65b0\u3057\u3044\u30bf\u30d6"),
        QString::fromUtf8("\xf0\x9f\x93\xa8 Letters"),  // a character beyond the first plane
    };
    QHash<QString, int> qtMap;
    QSet<QString> qtSet;
    TextMap<int> map;
    TextSet set;
    SharedTextMap<int> shared;
    for (int round = 0; round < 2; ++round)  // the second round writes over the first
        for (std::size_t i = 0; i < texts.size(); i += std::size_t(round + 1)) {
            const int value = round * 100 + int(i);
            qtMap.insert(texts[i], value);
            qtSet.insert(texts[i]);
            map.insert_or_assign(texts[i], value);
            set.insert(texts[i]);
            shared.insert(texts[i], value);
        }
    const SharedTextMap<int> before = shared;
    shared.remove(texts[2]);
    EXPECT_TRUE(before.contains(texts[2])) << "a copy keeps what the other one drops";
    shared.insert(texts[2], qtMap.value(texts[2]));

    EXPECT_EQ(map.size(), std::size_t(qtMap.size()));
    EXPECT_EQ(set.size(), std::size_t(qtSet.size()));
    EXPECT_EQ(shared.size(), qtMap.size());
    EXPECT_EQ(shared, before);
    for (const QString &text : texts) {
        // Held elsewhere, and with a neighbour on each side, as a view into a longer text.
        const QString padded = QLatin1Char('<') + text + QLatin1Char('>');
        const QStringView view = QStringView(padded).mid(1, text.size());
        for (const QString &probe : {text, text + QLatin1Char('~'), text.left(text.size() - 1)}) {
            const bool present = qtMap.contains(probe);
            EXPECT_EQ(map.contains(probe), present) << probe.toStdString();
            EXPECT_EQ(set.contains(probe), qtSet.contains(probe)) << probe.toStdString();
            EXPECT_EQ(valueOr(map, probe, -1), qtMap.value(probe, -1)) << probe.toStdString();
            EXPECT_EQ(shared.value(probe), qtMap.value(probe)) << probe.toStdString();
        }
        EXPECT_EQ(textHash(view), textHash(text)) << text.toStdString();
        ASSERT_NE(map.find(view), map.end()) << text.toStdString();
        EXPECT_EQ(map.find(view)->second, qtMap.value(text));
        const TextViewSet views{view};
        EXPECT_TRUE(views.contains(text)) << text.toStdString();
    }
}

}  // namespace
