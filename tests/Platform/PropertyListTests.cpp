#include "PropertyList.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <plist/plist.h>

#include <cstdlib>
#include <random>

using namespace ondrake;

namespace {

const QByteArray kXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>SidebarWidth</key><real>280.5</real>
  <key>SidebarIsCompact</key><true/>
  <key>Count</key><integer>-3</integer>
  <key>Theme</key><string>Dusk &amp; Dawn</string>
  <key>When</key><date>2025-03-01T09:30:00Z</date>
  <key>Blob</key><data>AAEC</data>
  <key>List</key><array><integer>1</integer><string>two</string></array>
  <key>Nested</key><dict><key>inner</key><false/></dict>
  <key>Empty</key><array/>
</dict>
</plist>
)";

QVariantMap expectedMap() {
    return QVariantMap{
        {QStringLiteral("SidebarWidth"), 280.5},
        {QStringLiteral("SidebarIsCompact"), true},
        {QStringLiteral("Count"), qint64(-3)},
        {QStringLiteral("Theme"), QStringLiteral("Dusk & Dawn")},
        {QStringLiteral("When"), QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC)},
        {QStringLiteral("Blob"), QByteArray("\x00\x01\x02", 3)},
        {QStringLiteral("List"), QVariantList{qint64(1), QStringLiteral("two")}},
        {QStringLiteral("Nested"), QVariantMap{{QStringLiteral("inner"), false}}},
        {QStringLiteral("Empty"), QVariantList{}},
    };
}

QByteArray toBinary(const QByteArray &xml) {
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    EXPECT_NE(root, nullptr);
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    QByteArray bytes(bin, qsizetype(length));
    plist_to_bin_free(bin);
    plist_free(root);
    return bytes;
}

// A hand-made binary property list: objects are encoded with 4-byte references.
QByteArray binary(const std::vector<QByteArray> &objects, quint64 top = 0) {
    QByteArray out("bplist00");
    std::vector<quint32> offsets;
    for (const QByteArray &object : objects) {
        offsets.push_back(quint32(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    const auto be = [&](quint64 v, int n) {
        for (int i = n - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
    };
    for (const quint32 offset : offsets) be(offset, 4);
    out += QByteArray(6, '\0');
    out += char(4);  // offset size
    out += char(4);  // reference size
    be(objects.size(), 8);
    be(top, 8);
    be(table, 8);
    return out;
}

QByteArray refs(std::initializer_list<quint32> list) {
    QByteArray out;
    for (const quint32 r : list)
        for (int i = 3; i >= 0; --i) out += char((r >> (8 * i)) & 0xFF);
    return out;
}

QByteArray container(char type, int count, const QByteArray &references) {
    QByteArray out;
    if (count < 15) {
        out += char((type << 4) | count);
    } else {
        out += char((type << 4) | 0xF);
        out += char(0x12);
        out += refs({quint32(count)});
    }
    return out + references;
}

QByteArray ascii(const char *text) { return QByteArray(1, char(0x50 | int(std::strlen(text)))) + text; }

TEST(PropertyList, ReadsXmlAndBinaryDictionaries) {
    EXPECT_EQ(PropertyList::dictionaryFromData(kXml), expectedMap());
    const QByteArray bin = toBinary(kXml);
    ASSERT_TRUE(bin.startsWith("bplist00"));
    EXPECT_EQ(PropertyList::dictionaryFromData(bin), expectedMap());

    test::TemporaryPaths paths;
    const QString path = QDir(paths.root()).filePath(QStringLiteral("prefs.plist"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bin);
    file.close();
    EXPECT_EQ(PropertyList::readDictionary(path), expectedMap());
    EXPECT_EQ(PropertyList::readDictionary(path + QStringLiteral(".missing")), std::nullopt);
    EXPECT_EQ(PropertyList::readDictionary(paths.root()), std::nullopt);
}

TEST(PropertyList, ReadsNothingButADictionaryOfTextKeys) {
    const std::pair<const char *, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("hello")},
        {"array at the top", QByteArray("<plist><array><string>a</string></array></plist>")},
        {"truncated xml", kXml.left(kXml.size() / 2)},
        {"json", QByteArray(R"({"a": 1})")},
        {"deep xml", QByteArray("<plist><dict><key>k</key>") + QByteArray("<array>").repeated(100000)
                         + QByteArray("</array>").repeated(100000) + "</dict></plist>"},
        {"integer key", binary({container(0xD, 1, refs({1, 2})), QByteArray("\x10\x07", 2), ascii("v")})},
        {"self loop", binary({ascii("k"), container(0xA, 1, refs({1}))}, 1)},
        {"dictionary loop", binary({container(0xD, 1, refs({1, 0})), ascii("k")})},
        {"reference out of range", binary({container(0xD, 1, refs({1, 9})), ascii("k")})},
        {"length past the end", binary({container(0xD, 1, refs({1, 2})), ascii("k"), QByteArray("\x5F\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10)})},
        {"unknown marker", binary({container(0xD, 1, refs({1, 2})), ascii("k"), QByteArray("\x70", 1)})},
        {"bad trailer", QByteArray("bplist00") + QByteArray(40, '\xFF')},
        {"other version", QByteArray("bplist15") + toBinary(kXml).mid(8)},
    };
    for (const auto &[what, data] : cases) EXPECT_EQ(PropertyList::dictionaryFromData(data), std::nullopt) << what;
    EXPECT_EQ(PropertyList::dictionaryFromData("<plist><dict/></plist>"), QVariantMap());
}

TEST(PropertyList, RefusesBinaryTreesBuiltToExhaustTheReader) {
    // A chain of one-element arrays, far deeper than any preferences file.
    std::vector<QByteArray> chain{container(0xD, 1, refs({1, 2})), ascii("k")};
    for (quint32 i = 0; i < 50000; ++i) chain.push_back(container(0xA, 1, refs({quint32(chain.size() + 1)})));
    chain.push_back(container(0xA, 0, {}));
    EXPECT_EQ(PropertyList::dictionaryFromData(binary(chain)), std::nullopt);

    // Forty levels of arrays that each hold the next level twice: small on disk, 2^40 once copied.
    std::vector<QByteArray> bomb{container(0xD, 1, refs({1, 2})), ascii("k")};
    for (quint32 i = 0; i < 40; ++i) {
        const quint32 next = quint32(bomb.size() + 1);
        bomb.push_back(container(0xA, 2, refs({next, next})));
    }
    bomb.push_back(container(0xA, 0, {}));
    EXPECT_EQ(PropertyList::dictionaryFromData(binary(bomb)), std::nullopt);

    // Shared objects are fine while the copy stays small.
    EXPECT_EQ(PropertyList::dictionaryFromData(binary({container(0xD, 2, refs({1, 2, 3, 3})), ascii("a"), ascii("b"), ascii("v")})),
              (QVariantMap{{QStringLiteral("a"), QStringLiteral("v")}, {QStringLiteral("b"), QStringLiteral("v")}}));
}

TEST(PropertyList, ASmallBinaryListCannotStandForMegabytes) {
    // Levels of arrays that each hold the next level twice, down to one string: 2^levels copies.
    struct Case {
        int levels;
        int textLength;
        bool readable;
    };
    const Case cases[] = {
        {10, 200, true},    // a thousand copies, 200 KB
        {15, 1, true},      // 65,535 objects
        {16, 1, false},     // 131,071 objects
        {15, 200, false},   // 32,768 objects, but 6.5 MB of text
    };
    for (const auto &c : cases) {
        std::vector<QByteArray> list{container(0xD, 1, refs({1, 2})), ascii("k")};
        for (int i = 0; i < c.levels; ++i) {
            const quint32 next = quint32(list.size() + 1);
            list.push_back(container(0xA, 2, refs({next, next})));
        }
        const QByteArray text(c.textLength, 'x');
        QByteArray string(1, char(0x5F));
        string += char(0x11);  // a two-byte length follows
        string += char(text.size() >> 8);
        string += char(text.size() & 0xFF);
        list.push_back(string + text);
        const QByteArray bytes = binary(list);
        EXPECT_EQ(PropertyList::dictionaryFromData(bytes).has_value(), c.readable)
            << c.levels << " levels of " << c.textLength << " in " << bytes.size() << " bytes";
    }
}

TEST(PropertyList, SurvivesTruncatedAndCorruptedBinaryData) {
    const QByteArray bin = toBinary(kXml);
    for (qsizetype length = 0; length < bin.size(); ++length) PropertyList::dictionaryFromData(bin.left(length));
    std::mt19937 random(20250301);
    for (int round = 0; round < 3000; ++round) {
        QByteArray corrupted = bin;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) corrupted[qsizetype(random() % quint32(bin.size()))] = char(random() & 0xFF);
        PropertyList::dictionaryFromData(corrupted);
    }
    SUCCEED();
}

}  // namespace
