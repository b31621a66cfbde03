#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"

#include "Log.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// Every symbol the sidebar, settings, messages and immersive bar name.
const char *const kNamedSymbols[] = {
    "arrow.down.circle", "arrow.up.left.and.down.right.and.arrow.up.right.and.down.left",
    "book.fill", "checkmark", "chevron.left", "chevron.right", "clock", "command", "ellipsis",
    "exclamationmark.circle.fill", "exclamationmark.triangle", "exclamationmark.triangle.fill", "flag",
    "folder", "gearshape.2", "globe", "list.bullet.indent", "lock.fill", "lock.shield", "magnifyingglass",
    "moon.zzz.fill", "paintbrush", "pin.fill", "plus", "plus.circle", "rectangle.on.rectangle", "safari",
    "sidebar.left", "speaker.slash.fill", "xmark", "xmark.circle.fill",
};

// Pixels that are at least half covered, and whether all of them carry the tint.
struct Coverage {
    int covered = 0;
    bool allTinted = true;
};

Coverage coverage(const QImage &image, const QColor &tint) {
    Coverage result;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 100) continue;
            ++result.covered;
            if (!colorNear(pixel, tint, 4)) result.allTinted = false;
        }
    }
    return result;
}

TEST(SymbolCatalog, DrawsEveryNamedSymbolInTheTintColour) {
    const QColor tint(200, 40, 30);
    for (const char *symbol : kNamedSymbols) {
        const QString name = QString::fromLatin1(symbol);
        ASSERT_NE(SymbolCatalog::find(name), nullptr) << symbol;
        EXPECT_TRUE(SymbolCatalog::canDraw(name)) << symbol;
        const QImage image = SymbolCatalog::pixmap(name, QSize(16, 16), tint).toImage();
        ASSERT_FALSE(image.isNull()) << symbol;
        const Coverage c = coverage(image.convertToFormat(QImage::Format_ARGB32), tint);
        EXPECT_GE(c.covered, 6) << symbol;
        EXPECT_TRUE(c.allTinted) << symbol;
    }
    EXPECT_EQ(SymbolCatalog::entries().size(), std::size(kNamedSymbols));
}

TEST(SymbolCatalog, TableIsSortedWithoutDuplicatesAndEachEntryHasOneSource) {
    const auto entries = SymbolCatalog::entries();
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return std::strcmp(a.symbol, b.symbol) < 0;
    }));
    EXPECT_EQ(std::adjacent_find(entries.begin(), entries.end(),
                                 [](const auto &a, const auto &b) { return std::strcmp(a.symbol, b.symbol) == 0; }),
              entries.end());
    for (const auto &entry : entries) EXPECT_NE(entry.themeIcon == nullptr, entry.glyph == SymbolCatalog::Glyph::none) << entry.symbol;
}

TEST(SymbolCatalog, AnUnknownSymbolDrawsNothingAndSaysSo) {
    LogCapture log;
    EXPECT_EQ(SymbolCatalog::find(u"Globe"), nullptr);
    EXPECT_FALSE(SymbolCatalog::canDraw(u"star.fill"));
    EXPECT_TRUE(SymbolCatalog::pixmap(u"star.fill", QSize(16, 16), Qt::black).isNull());
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    SymbolCatalog::paint(painter, u"star.fill", QRectF(0, 0, 16, 16), Qt::black);
    painter.end();
    EXPECT_EQ(coverage(image, Qt::black).covered, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("No image for the symbol star.fill")));
}

TEST(SymbolCatalog, GlyphsStayInsideTheirBox) {
    const QRectF box(3, 5, 12, 12);
    for (const auto &entry : SymbolCatalog::entries()) {
        if (entry.glyph == SymbolCatalog::Glyph::none) continue;
        const QRectF bounds = SymbolCatalog::glyphPath(entry.glyph, box).boundingRect();
        EXPECT_FALSE(bounds.isEmpty()) << entry.symbol;
        EXPECT_TRUE(box.adjusted(-0.01, -0.01, 0.01, 0.01).contains(bounds)) << entry.symbol;
    }
}

TEST(SymbolCatalog, PaintsCentredInAWideBox) {
    QImage image(40, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    SymbolCatalog::paint(painter, u"plus", QRectF(0, 0, 40, 16), Qt::black);
    SymbolCatalog::paint(painter, u"globe", QRectF(0, 0, 40, 16), Qt::black);
    painter.end();
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    EXPECT_GE(left, 12);
    EXPECT_LE(right, 27);
}

TEST(SymbolCatalog, IconsDrawFainterWhenDisabled) {
    const QIcon icon = SymbolCatalog::icon(u"magnifyingglass", Qt::black);
    auto strongest = [](const QImage &image) {
        int alpha = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) alpha = std::max(alpha, image.pixelColor(x, y).alpha());
        return alpha;
    };
    const int normal = strongest(icon.pixmap(QSize(16, 16)).toImage());
    const int disabled = strongest(icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage());
    EXPECT_GT(normal, 200);
    EXPECT_LT(disabled, normal / 2);
}

TEST(SymbolCatalog, SheetOfAllSymbols) {
    const int cell = 28;
    const auto entries = SymbolCatalog::entries();
    PaintHost sheet(QSize(cell * 8, cell * int((entries.size() + 7) / 8)), Qt::white, [&](QPainter &p, const QRect &) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const QRectF box(double(i % 8) * cell + 6, double(i / 8) * cell + 6, 16, 16);
            SymbolCatalog::paint(p, QString::fromLatin1(entries[i].symbol), box, QColor(60, 60, 67));
        }
    });
    saveScreenshot(sheet.grab().toImage(), QStringLiteral("symbols"));
}

}  // namespace
