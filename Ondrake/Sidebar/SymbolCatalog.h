#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QString>

#include <span>

class QPainter;

namespace ondrake {

// The symbols the views name, drawn from the freedesktop icon theme (Breeze as the fallback
// theme) or, where it has nothing that fits, from a glyph of our own. Every symbol is drawn in
// one colour, so views tint it with a theme token like text.
class SymbolCatalog {
public:
    enum class Glyph {
        none,  // the entry uses its theme icon
        globe,
        command,
        moonZzz,
        plusCircle,
        exclamationCircleFill,
        exclamationTriangle,
        exclamationTriangleFill,
        ellipsis,
    };

    struct Entry {
        const char *symbol;
        const char *themeIcon;  // nullptr for a drawn glyph
        Glyph glyph;
    };

    // Sorted by symbol name.
    static std::span<const Entry> entries();
    static const Entry *find(QStringView symbol);

    // Makes the fallback theme and the system's icon folders known to QIcon. Idempotent; the
    // drawing functions call it themselves.
    static void installIconTheme();

    // Whether the symbol is in the table and its theme icon can be found (glyphs always can).
    static bool canDraw(QStringView symbol);

    // Draws the symbol in `color`, fitted and centred in `box`. An unknown symbol draws nothing.
    static void paint(QPainter &painter, QStringView symbol, const QRectF &box, const QColor &color);
    static QPixmap pixmap(QStringView symbol, QSize size, const QColor &color, qreal devicePixelRatio = 1.0);
    // For buttons and menus; the disabled mode draws at reduced opacity.
    static QIcon icon(QStringView symbol, const QColor &color);

    static QPainterPath glyphPath(Glyph glyph, const QRectF &box);
};

}  // namespace ondrake
