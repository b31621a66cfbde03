#include "Ondrake/Sidebar/SidebarRowDelegate.h"

#include "Ondrake/Sidebar/FaviconView.h"
#include "Ondrake/Sidebar/SidebarMetrics.h"
#include "Ondrake/Sidebar/SidebarRowModel.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/TabGroupColorName.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

namespace ondrake {

namespace {

void fillRounded(QPainter &painter, const QRectF &rect, double radius, const QColor &color) {
    if (color.alpha() == 0 || rect.isEmpty()) return;
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, color);
}

void fillCapsule(QPainter &painter, const QRectF &rect, const QColor &color) {
    fillRounded(painter, rect, rect.height() / 2, color);
}

// A symbol whose box is its font size, centred on `centre`, turned by `degrees`.
void paintSymbol(QPainter &painter, const QString &symbol, QPointF centre, double side, const QColor &color,
                 double degrees = 0) {
    painter.save();
    painter.translate(centre);
    if (degrees != 0) painter.rotate(degrees);
    SymbolCatalog::paint(painter, symbol, QRectF(-side / 2, -side / 2, side, side), color);
    painter.restore();
}

}  // namespace

QString ElidedTitles::elided(const QFont &font, const QString &text, double width) {
    const auto found = cuts_.find(text);
    if (found != cuts_.end() && found->second.width == width && found->second.font == font) return found->second.text;
    if (cuts_.size() >= kCapacity) cuts_.clear();
    QString cut = QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
    cuts_.insert_or_assign(text, Cut{font, width, cut});
    return cut;
}

void TitleLines::draw(QPainter &painter, const QRectF &rect, const QString &text) {
    // What the painter's own drawing does differently is left to it: text running right to left
    // from the rect's right edge, a string of several length variants, no pen.
    if (text.isEmpty() || painter.pen().style() == Qt::NoPen) return;
    if (painter.layoutDirection() != Qt::LeftToRight || text.contains(QChar(0x9c))) {
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        return;
    }
    const QFont &font = painter.font();
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 0;
    auto found = lines_.find(text);
    if (found == lines_.end() || found->second.font != font || found->second.dpi != dpi) {
        if (found == lines_.end() && lines_.size() >= kCapacity) lines_.clear();
        // One line, as the painter lays it out: breaks and tabs as spaces, no wrapping.
        QString shown = text;
        for (QChar &c : shown)
            if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
        auto layout = std::make_shared<QTextLayout>(shown, font);
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        option.setAlignment(Qt::AlignLeft);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        QTextLine line = layout->createLine();
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
        layout->endLayout();
        found = lines_.insert_or_assign(text, Line{font, dpi, layout, line.ascent() + line.descent(), line.naturalTextWidth()})
                    .first;
    }
    const Line &shaped = found->second;
    const double top = rect.top() + (rect.height() - shaped.height) / 2;
    const bool clipped = !rect.contains(QRectF(rect.left(), top, shaped.width, shaped.height));
    if (clipped) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    shaped.layout->lineAt(0).draw(&painter, QPointF(rect.left(), top));
    if (clipped) painter.restore();
}

SidebarRowDelegate::SidebarRowDelegate(StyleOf style, StateOf state, QObject *parent)
    : QStyledItemDelegate(parent), style_(std::move(style)), state_(std::move(state)) {}

QColor SidebarRowDelegate::color(const ThemeColor &token, const Style &style, double opacity) {
    QColor resolved = token.resolved(style.palette);
    if (opacity != 1) resolved.setAlphaF(float(resolved.alphaF() * opacity));
    return resolved;
}

QFont SidebarRowDelegate::font(const Style &style, double pixelSize, QFont::Weight weight) {
    QFont f = style.font;
    f.setPixelSize(int(std::lround(pixelSize)));
    f.setWeight(weight);
    return f;
}

double SidebarRowDelegate::hiddenCountWidth(const TabRow &row, const Style &style) {
    const auto text = row.hiddenCountText();
    if (!text) return 0;
    return QFontMetricsF(font(style, 10, QFont::Medium)).horizontalAdvance(*text);
}

QSize SidebarRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const {
    // The view asks for every entry whenever it lays out; spare it the trip through QVariant.
    if (const auto *model = qobject_cast<const SidebarRowModel *>(index.model()); model && index.row() < model->rowCount())
        return QSize(0, model->entry(index.row()).height());
    return index.data(Qt::SizeHintRole).toSize();
}

void SidebarRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const auto *model = qobject_cast<const SidebarRowModel *>(index.model());
    if (!model) return;
    const State state = state_(index.row());
    if (state.opacity >= 1 && state.offset == 0) {
        paintEntry(*painter, model->entry(index.row()), option.rect, style_(), state);
        return;
    }
    painter->save();
    painter->setOpacity(painter->opacity() * state.opacity);
    paintEntry(*painter, model->entry(index.row()), QRectF(option.rect).translated(0, state.offset), style_(), state);
    painter->restore();
}

void SidebarRowDelegate::paintEntry(QPainter &painter, const SidebarListEntry &entry, const QRectF &rect,
                                    const Style &style, State state) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const SidebarThemeTokens &theme = style.theme;
    if (entry.fill != SidebarListEntry::Fill::none) {
        const QRectF tint(rect.left(), rect.top() + entry.lead, rect.width(), rect.height() - entry.lead - entry.trail);
        const ThemeColor &token = entry.fill == SidebarListEntry::Fill::pinnedArea ? theme.pinnedArea : theme.groupHeader;
        painter.fillRect(tint, color(token, style));
        if (entry.bottomBorder)
            painter.fillRect(QRectF(tint.left(), tint.bottom() - 1, tint.width(), 1), color(theme.border, style));
    }
    const QRectF band(rect.left(), rect.top() + entry.contentTop(), rect.width(), entry.content);
    switch (entry.kind) {
    case SidebarListEntry::Kind::tab:
        if (entry.row && !state.skipRow) paintRow(painter, *entry.row, band, style, state.hovered);
        break;
    case SidebarListEntry::Kind::heading:
        if (entry.heading) paintHeading(painter, *entry.heading, band, style);
        break;
    case SidebarListEntry::Kind::hint: {
        painter.setFont(font(style, 10));
        painter.setPen(color(theme.mutedForeground, style));
        painter.drawText(band.adjusted(8, 3, -8, -3), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetricsF(painter.font()).elidedText(entry.text, Qt::ElideRight, band.width() - 16));
        break;
    }
    case SidebarListEntry::Kind::message: {
        painter.setFont(font(style, 11));
        painter.setPen(color(theme.mutedForeground, style));
        painter.drawText(band.adjusted(12, 0, -12, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, entry.text);
        break;
    }
    }
    painter.restore();
}

void SidebarRowDelegate::paintRow(QPainter &painter, const TabRow &row, const QRectF &band, const Style &style,
                                  bool hovered) {
    const SidebarThemeTokens &theme = style.theme;
    const TabRowGeometry g = row.geometry(band, style.compact, hovered, hiddenCountWidth(row, style));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    for (const QRectF &cell : g.indentCells)
        painter.fillRect(QRectF(cell.center().x() - 0.5, cell.top(), 1, cell.height()), color(theme.treeLine, style));

    const TabRow::Background background = row.background(hovered);
    QColor fill = Qt::transparent;
    switch (background.fill) {
    case TabRow::Fill::selection: fill = color(theme.selection, style, background.opacity); break;
    case TabRow::Fill::active: fill = color(theme.foreground, style, background.opacity); break;
    case TabRow::Fill::hover: fill = color(theme.hover, style); break;
    case TabRow::Fill::clear: break;
    }
    fillRounded(painter, g.background, TabRow::kCornerRadius, fill);

    const FaviconView favicon{row.favicon};
    const QColor muted = color(theme.mutedForeground, style);
    if (style.compact) {
        favicon.paint(painter, g.favicon, muted);
        if (const auto mark = row.compactMark()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color(theme.accent, style));
            painter.drawEllipse(g.compactMark);
            paintSymbol(painter, *mark, g.compactMark.center(), 6, color(ThemeColor::white(), style));
        }
        painter.restore();
        return;
    }

    if (row.tab().isActive) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color(theme.accent, style));
        painter.drawEllipse(g.activeDot);
    }
    if (g.chevron.isEmpty()) favicon.paint(painter, g.favicon, muted);
    else paintSymbol(painter, QStringLiteral("chevron.right"), g.chevron.center(), 9, muted, row.chevronRotation());

    const QFont titleFont = font(style, 12, row.titleIsEmphasised() ? QFont::Medium : QFont::Normal);
    painter.setFont(titleFont);
    painter.setPen(color(theme.foreground, style, row.titleOpacity()));
    const QString title = style.titles ? style.titles->elided(titleFont, row.tab().title, g.title.width())
                                       : QFontMetricsF(titleFont).elidedText(row.tab().title, Qt::ElideRight, g.title.width());
    if (style.titleLines) style.titleLines->draw(painter, g.title, title);
    else painter.drawText(g.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);

    const auto badges = row.badges();
    for (std::size_t i = 0; i < badges.size() && i < g.badges.size(); ++i) {
        if (badges[i].kind == TabRowBadge::Kind::groupDot) TabGroupColorDot{badges[i].dotColor, 8}.paint(painter, g.badges[i]);
        else paintSymbol(painter, badges[i].symbol, g.badges[i].center(), 8, muted);
    }

    if (const auto count = row.hiddenCountText()) {
        const bool accent = row.hiddenCountIsAccent();
        fillCapsule(painter, g.hiddenCount, accent ? color(theme.accent, style, 0.15) : color(theme.surface, style));
        painter.setFont(font(style, 10, QFont::Medium));
        painter.setPen(accent ? color(theme.accent, style) : muted);
        painter.drawText(g.hiddenCount, Qt::AlignCenter, *count);
    }
    if (!g.closeButton.isEmpty()) paintSymbol(painter, QStringLiteral("xmark"), g.closeButton.center(), 9, muted);
    painter.restore();
}

void SidebarRowDelegate::paintHeading(QPainter &painter, const SidebarHeading &heading, const QRectF &band,
                                      const Style &style) {
    const SidebarThemeTokens &theme = style.theme;
    const QColor muted = color(theme.mutedForeground, style);
    QFont titleFont = font(style, heading.titleSize, QFont::DemiBold);
    const QFont countFont = font(style, 10, QFont::Medium);
    const QFontMetricsF countMetrics(countFont);
    constexpr double spacing = 4;
    const double symbolSide = 9;

    // Widths of the parts, in order, to centre them in compact form.
    const QRectF inner = band.adjusted(heading.horizontalPadding, 0, -heading.horizontalPadding, 0);
    double needed = 0;
    int parts = 0;
    const auto addPart = [&](double width) {
        needed += width + (parts > 0 ? spacing : 0);
        ++parts;
    };
    if (!heading.symbol.isEmpty()) addPart(symbolSide);
    if (heading.dot) addPart(8);
    const double countWidth = heading.count ? countMetrics.horizontalAdvance(*heading.count) : 0;
    const double badgeWidth = heading.badge ? countMetrics.horizontalAdvance(*heading.badge) + 10 : 0;
    const double fixed = needed + (heading.count ? countWidth + spacing : 0) + (heading.badge ? badgeWidth + spacing : 0)
                         + (heading.title.isEmpty() ? 0 : spacing);
    const double available = inner.width() - fixed;
    double titleWidth = heading.title.isEmpty() ? 0 : QFontMetricsF(titleFont).horizontalAdvance(heading.title);
    // A title that does not fit shrinks as far as the heading allows before it is cut.
    const double fitted = heading.fittedTitleSize(titleWidth, available);
    if (fitted < heading.titleSize) {
        titleFont = font(style, fitted, QFont::DemiBold);
        titleWidth = QFontMetricsF(titleFont).horizontalAdvance(heading.title);
    }
    const QFontMetricsF titleMetrics(titleFont);
    titleWidth = std::max(0.0, std::min(titleWidth, available));
    if (!heading.title.isEmpty()) addPart(titleWidth);
    if (heading.count) addPart(countWidth);
    if (heading.badge) addPart(badgeWidth);

    double x = heading.centred ? inner.center().x() - needed / 2 : inner.left();
    const double midY = band.center().y();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    bool first = true;
    const auto advance = [&](double width) {
        const double left = x + (first ? 0 : spacing);
        x = left + width;
        first = false;
        return left;
    };
    if (!heading.symbol.isEmpty()) {
        const double left = advance(symbolSide);
        paintSymbol(painter, heading.symbol, QPointF(left + symbolSide / 2, midY), symbolSide, muted, heading.symbolRotation);
    }
    if (heading.dot) {
        const double left = advance(8);
        TabGroupColorDot{*heading.dot, 8}.paint(painter, QRectF(left, midY - 4, 8, 8));
    }
    if (!heading.title.isEmpty()) {
        const double left = advance(titleWidth);
        painter.setFont(titleFont);
        painter.setPen(muted);
        painter.drawText(QRectF(left, band.top(), titleWidth, band.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         titleMetrics.elidedText(heading.title, Qt::ElideRight, titleWidth + 0.5));
    }
    if (heading.count) {
        const double left = advance(countWidth);
        painter.setFont(countFont);
        painter.setPen(muted);
        painter.drawText(QRectF(left, band.top(), countWidth + 1, band.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         *heading.count);
    }
    if (heading.badge) {
        const double left = advance(badgeWidth);
        const QRectF capsule(left, midY - 7.5, badgeWidth, 15);
        fillCapsule(painter, capsule, color(theme.surface, style));
        painter.setFont(countFont);
        painter.setPen(muted);
        painter.drawText(capsule, Qt::AlignCenter, *heading.badge);
    }
    painter.restore();
}

}  // namespace ondrake
