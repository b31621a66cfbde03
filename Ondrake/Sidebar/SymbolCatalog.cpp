#include "Ondrake/Sidebar/SymbolCatalog.h"

#include "Log.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmapCache>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <optional>
#include <mutex>

namespace ondrake {

namespace {

using Glyph = SymbolCatalog::Glyph;

constexpr const char *kFallbackTheme = "breeze";

// Sorted by symbol, so lookups can bisect.
constexpr SymbolCatalog::Entry kEntries[] = {
    {"arrow.down.circle", "download", Glyph::none},
    {"arrow.up.left.and.down.right.and.arrow.up.right.and.down.left", "transform-move", Glyph::none},
    {"book.fill", "view-readermode", Glyph::none},
    {"checkmark", "dialog-ok", Glyph::none},
    {"chevron.left", "go-previous", Glyph::none},
    {"chevron.right", "go-next", Glyph::none},
    {"clock", "clock", Glyph::none},
    {"command", nullptr, Glyph::command},
    {"ellipsis", nullptr, Glyph::ellipsis},
    {"exclamationmark.circle.fill", nullptr, Glyph::exclamationCircleFill},
    {"exclamationmark.triangle", nullptr, Glyph::exclamationTriangle},
    {"exclamationmark.triangle.fill", nullptr, Glyph::exclamationTriangleFill},
    {"flag", "flag", Glyph::none},
    {"folder", "folder", Glyph::none},
    {"gearshape.2", "configure", Glyph::none},
    {"globe", nullptr, Glyph::globe},
    {"list.bullet.indent", "format-indent-more", Glyph::none},
    {"lock.fill", "object-locked", Glyph::none},
    {"lock.shield", "security-high", Glyph::none},
    {"magnifyingglass", "edit-find", Glyph::none},
    {"moon.zzz.fill", nullptr, Glyph::moonZzz},
    {"paintbrush", "draw-brush", Glyph::none},
    {"pin.fill", "pin", Glyph::none},
    {"plus", "list-add", Glyph::none},
    {"plus.circle", nullptr, Glyph::plusCircle},
    {"rectangle.on.rectangle", "edit-copy", Glyph::none},
    {"safari", "compass", Glyph::none},
    {"sidebar.left", "sidebar-show-symbolic", Glyph::none},
    {"speaker.slash.fill", "audio-volume-muted", Glyph::none},
    {"xmark", "edit-delete-remove", Glyph::none},
    {"xmark.circle.fill", "window-close", Glyph::none},
};

const Logger &sidebarLog() {
    static const Logger log(QStringLiteral("Sidebar"));
    return log;
}

// Glyphs are laid out in a unit square; strokes are turned into outlines so every glyph fills.
constexpr double kStroke = 0.09;

QPainterPath stroked(const QPainterPath &path, double width = kStroke) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

QPainterPath circle(double cx, double cy, double r) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    return path;
}

QPainterPath line(QPointF from, QPointF to) {
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

// The mark of an exclamation: a bar and a dot, centred on x = 0.5.
QPainterPath exclamation(double top, double barBottom, double dotY) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0.445, top, 0.11, barBottom - top), 0.05, 0.05);
    path.addEllipse(QPointF(0.5, dotY), 0.065, 0.065);
    return path;
}

QPainterPath triangle() {
    QPainterPath path(QPointF(0.5, 0.08));
    path.lineTo(0.95, 0.9);
    path.lineTo(0.05, 0.9);
    path.closeSubpath();
    return path;
}

QPainterPath unitGlyph(Glyph glyph) {
    switch (glyph) {
    case Glyph::none: return {};
    case Glyph::globe: {
        QPainterPath lines;
        lines.addEllipse(QPointF(0.5, 0.5), 0.44, 0.44);
        lines.addEllipse(QPointF(0.5, 0.5), 0.19, 0.44);
        lines.addPath(line({0.06, 0.5}, {0.94, 0.5}));
        lines.addPath(line({0.14, 0.27}, {0.86, 0.27}));
        lines.addPath(line({0.14, 0.73}, {0.86, 0.73}));
        return stroked(lines, 0.085);
    }
    case Glyph::command: {
        // Four loops joined by the sides of a square, each side running on into two loops.
        QPainterPath lines;
        for (const double x : {0.25, 0.75}) {
            for (const double y : {0.25, 0.75}) lines.addEllipse(QPointF(x, y), 0.14, 0.14);
        }
        for (const double at : {0.39, 0.61}) {
            lines.addPath(line({0.25, at}, {0.75, at}));
            lines.addPath(line({at, 0.25}, {at, 0.75}));
        }
        return stroked(lines);
    }
    case Glyph::moonZzz: {
        const QPainterPath moon = circle(0.42, 0.6, 0.36).subtracted(circle(0.66, 0.44, 0.3));
        QPainterPath z(QPointF(0.66, 0.08));
        z.lineTo(0.92, 0.08);
        z.lineTo(0.66, 0.34);
        z.lineTo(0.92, 0.34);
        return moon.united(stroked(z, 0.08));
    }
    case Glyph::plusCircle: {
        QPainterPath lines = circle(0.5, 0.5, 0.44);
        lines.addPath(line({0.3, 0.5}, {0.7, 0.5}));
        lines.addPath(line({0.5, 0.3}, {0.5, 0.7}));
        return stroked(lines);
    }
    case Glyph::exclamationCircleFill: return circle(0.5, 0.5, 0.47).subtracted(exclamation(0.2, 0.6, 0.76));
    case Glyph::exclamationTriangle: return stroked(triangle()).united(exclamation(0.36, 0.66, 0.79));
    case Glyph::exclamationTriangleFill: {
        QPainterPath rounded = triangle().united(stroked(triangle(), 0.06));
        return rounded.subtracted(exclamation(0.36, 0.66, 0.79));
    }
    case Glyph::ellipsis: {
        QPainterPath dots;
        for (const double x : {0.18, 0.5, 0.82}) dots.addEllipse(QPointF(x, 0.5), 0.085, 0.085);
        return dots;
    }
    }
    return {};
}

// The largest square centred in `box`.
QRectF squareIn(const QRectF &box) {
    const double side = std::min(box.width(), box.height());
    return QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
}

QString cacheKey(QStringView symbol, QSize size, const QColor &color, qreal dpr) {
    return QStringLiteral("ondrake.symbol/%1/%2x%3/%4/%5")
        .arg(symbol)
        .arg(size.width())
        .arg(size.height())
        .arg(color.rgba(), 8, 16, QLatin1Char('0'))
        .arg(dpr);
}

// Renders the theme icon at device pixels and replaces its colours by `color`, keeping its shape.
QPixmap tintedThemeIcon(const char *name, QSize size, const QColor &color, qreal dpr) {
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (icon.isNull()) return {};
    QPixmap source = icon.pixmap(size, dpr);
    if (source.isNull()) return {};
    QPixmap result(size * dpr);
    result.setDevicePixelRatio(dpr);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    const QSizeF sourceSize = source.deviceIndependentSize();
    painter.drawPixmap(QPointF((size.width() - sourceSize.width()) / 2, (size.height() - sourceSize.height()) / 2),
                       source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), color);
    return result;
}

class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString symbol, QColor color) : symbol_(std::move(symbol)), color_(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        QColor color = color_;
        if (mode == QIcon::Disabled) color.setAlphaF(color.alphaF() * 0.4f);
        SymbolCatalog::paint(*painter, symbol_, rect, color);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap result(size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return result;
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(symbol_, color_); }
    QString key() const override { return QStringLiteral("ondrake.symbol"); }

private:
    QString symbol_;
    QColor color_;
};

}  // namespace

std::span<const SymbolCatalog::Entry> SymbolCatalog::entries() { return kEntries; }

const SymbolCatalog::Entry *SymbolCatalog::find(QStringView symbol) {
    const QByteArray name = symbol.toLatin1();
    const auto it = std::lower_bound(std::begin(kEntries), std::end(kEntries), name, [](const Entry &entry, const QByteArray &key) {
        return qstrcmp(entry.symbol, key.constData()) < 0;
    });
    if (it == std::end(kEntries) || qstrcmp(it->symbol, name.constData()) != 0) return nullptr;
    return &*it;
}

void SymbolCatalog::installIconTheme() {
    static std::once_flag once;
    std::call_once(once, [] {
        QStringList paths = QIcon::themeSearchPaths();
        QStringList found = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                      QStandardPaths::LocateDirectory);
        if (found.isEmpty()) found << QStringLiteral("/usr/share/icons");
        for (const QString &path : std::as_const(found)) {
            if (!paths.contains(path)) paths << path;
        }
        QIcon::setThemeSearchPaths(paths);
        QIcon::setFallbackThemeName(QString::fromLatin1(kFallbackTheme));
        // Without a platform theme QIcon never gets as far as the fallback; the base theme that
        // every freedesktop theme inherits leads there.
        if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("hicolor"));
    });
}

bool SymbolCatalog::canDraw(QStringView symbol) {
    const Entry *entry = find(symbol);
    if (!entry) return false;
    if (!entry->themeIcon) return true;
    installIconTheme();
    return QIcon::hasThemeIcon(QString::fromLatin1(entry->themeIcon));
}

void SymbolCatalog::paint(QPainter &painter, QStringView symbol, const QRectF &box, const QColor &color) {
    const Entry *entry = find(symbol);
    if (!entry) {
        sidebarLog().error("No image for the symbol %{public}s", symbol.toString());
        return;
    }
    const QRectF square = squareIn(box);
    if (square.isEmpty()) return;
    // Long lists draw the same few glyphs on every row: unturned and unscaled, a cached image
    // looks the same and costs a fraction of filling the outline.
    const QTransform &transform = painter.worldTransform();
    const bool plain = transform.type() <= QTransform::TxTranslate;
    if (!entry->themeIcon && !plain) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(glyphPath(entry->glyph, square), color);
        painter.restore();
        return;
    }
    const QSize size(qCeil(square.width()), qCeil(square.height()));
    const QPixmap image = pixmap(symbol, size, color, painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    painter.drawPixmap(QPointF(square.center().x() - size.width() / 2.0, square.center().y() - size.height() / 2.0),
                       image);
}

QPixmap SymbolCatalog::pixmap(QStringView symbol, QSize size, const QColor &color, qreal devicePixelRatio) {
    const Entry *entry = find(symbol);
    if (!entry || size.isEmpty()) return {};
    const QString key = cacheKey(symbol, size, color, devicePixelRatio);
    QPixmap result;
    if (QPixmapCache::find(key, &result)) return result;
    if (entry->themeIcon) {
        installIconTheme();
        result = tintedThemeIcon(entry->themeIcon, size, color, devicePixelRatio);
        if (result.isNull()) sidebarLog().error("The icon theme has no %{public}s", QString::fromLatin1(entry->themeIcon));
    } else {
        result = QPixmap(size * devicePixelRatio);
        result.setDevicePixelRatio(devicePixelRatio);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(glyphPath(entry->glyph, squareIn(QRectF(QPointF(0, 0), QSizeF(size)))), color);
    }
    if (!result.isNull()) QPixmapCache::insert(key, result);
    return result;
}

QIcon SymbolCatalog::icon(QStringView symbol, const QColor &color) {
    return QIcon(new SymbolIconEngine(symbol.toString(), color));
}

QPainterPath SymbolCatalog::glyphPath(Glyph glyph, const QRectF &box) {
    QTransform toBox;
    toBox.translate(box.x(), box.y());
    toBox.scale(box.width(), box.height());
    // Stroking and simplifying a glyph costs far more than drawing it; every row draws one.
    static std::array<std::optional<QPainterPath>, std::size_t(Glyph::ellipsis) + 1> unit;
    auto &cached = unit[std::size_t(glyph)];
    if (!cached) cached = unitGlyph(glyph);
    return toBox.map(*cached);
}

}  // namespace ondrake
