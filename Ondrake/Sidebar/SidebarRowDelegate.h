#pragma once

#include "Ondrake/Sidebar/SidebarListContent.h"
#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QFont>
#include <QPalette>
#include <QStyledItemDelegate>


#include <functional>
#include <memory>

class QTextLayout;

namespace ondrake {

// Titles as last cut to fit a width in a font. Rows are painted again far more often than their
// titles, fonts or widths change, and cutting a title lays out all of it.
class ElidedTitles {
public:
    static constexpr std::size_t kCapacity = 4096;

    QString elided(const QFont &font, const QString &text, double width);

private:
    struct Cut {
        QFont font;
        double width = 0;
        QString text;
    };
    TextMap<Cut> cuts_;
};

// Lines of text shaped once and drawn again as QPainter::drawText draws them in a rect with
// AlignLeft | AlignVCenter | TextSingleLine: shaping is most of what drawing a title costs, and a
// title is drawn on every repaint of its row.
class TitleLines {
public:
    static constexpr std::size_t kCapacity = 512;

    void draw(QPainter &painter, const QRectF &rect, const QString &text);

private:
    struct Line {
        QFont font;
        int dpi = 0;
        std::shared_ptr<QTextLayout> layout;
        double height = 0;  // of the text, not of the line's box
        double width = 0;
    };
    TextMap<Line> lines_;
};

// Paints the tab list's entries from the theme's tokens: section tints, headings, rows, hints
// and messages. Colours come only from the tokens (and the group colours); nothing is a widget.
class SidebarRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    struct Style {
        SidebarThemeTokens theme = SidebarThemeTokens::light();
        QPalette palette;  // resolves the dynamic system colours of the tokens
        QFont font;        // the family; sizes are set per element
        bool compact = false;
        std::shared_ptr<ElidedTitles> titles = std::make_shared<ElidedTitles>();
        std::shared_ptr<TitleLines> titleLines = std::make_shared<TitleLines>();
    };
    // What the list knows about the pointer and the drag when an entry is painted.
    struct State {
        bool hovered = false;
        bool skipRow = false;  // the row is being dragged and is drawn elsewhere
        // A list change under way: the entry fades in, or slides down to where it was.
        double opacity = 1;
        double offset = 0;
    };
    using StateOf = std::function<State(int row)>;
    using StyleOf = std::function<const Style &()>;

    SidebarRowDelegate(StyleOf style, StateOf state, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // `rect` is the entry's whole rect, bands included.
    static void paintEntry(QPainter &painter, const SidebarListEntry &entry, const QRectF &rect, const Style &style,
                           State state);
    static void paintRow(QPainter &painter, const TabRow &row, const QRectF &band, const Style &style, bool hovered);
    static void paintHeading(QPainter &painter, const SidebarHeading &heading, const QRectF &band, const Style &style);

    static QColor color(const ThemeColor &token, const Style &style, double opacity = 1);
    static QFont font(const Style &style, double pixelSize, QFont::Weight weight = QFont::Normal);
    static double hiddenCountWidth(const TabRow &row, const Style &style);

private:
    StyleOf style_;
    StateOf state_;
};

}  // namespace ondrake
