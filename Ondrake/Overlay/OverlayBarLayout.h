#pragma once

#include "Overlay/TabBreadcrumb.h"

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// Where everything on the immersive bar goes, in the bar's own coordinates (y down): a row
// centred vertically, padded at both ends, with the breadcrumb (or the title) at the left and the
// two buttons at the right; while calibrating, the move symbol and the live numbers instead.
struct OverlayBarLayout {
    static constexpr double padding = 10;
    static constexpr double spacing = 8;
    static constexpr double minimumSpacer = 8;
    static constexpr double calibrationMinimumSpacer = 4;
    static constexpr double crumbSpacing = 4;
    static constexpr double crumbMaximumWidth = 220;
    static constexpr double crumbPadding = 3;
    static constexpr QSizeF buttonSize{22, 20};
    static constexpr QSizeF calibrationSymbolSize{12, 12};

    static inline const QString separator = QStringLiteral("›");
    static constexpr double captionPadding = 5;
    static inline const QString menuSymbol = QStringLiteral("ellipsis");
    static inline const QString calibrationSymbol =
        QStringLiteral("arrow.up.left.and.down.right.and.arrow.up.right.and.down.left");

    static QFont crumbFont(bool emphasised);
    static QFont separatorFont();
    static QFont titleFont();
    static QFont summaryFont();
    static QFont symbolFont();
    static QFont captionFont();
    // The palette button shows its key as this desktop names it.
    static QString commandCaption();
    // A button showing a caption is as wide as the caption needs, never narrower than one with a symbol.
    static QSizeF captionButtonSize(const QString &caption);
    static QString calibrationText(const QString &summary);

    // A crumb's label: its title, cut at the end beyond the maximum width, never squeezed.
    static QString crumbLabel(const TabBreadcrumb::Crumb &crumb);
    // The label's width and the padding on both sides.
    static double crumbWidth(const TabBreadcrumb::Crumb &crumb);
    // The active tab's own crumb is the one in bold.
    static bool isEmphasised(const TabBreadcrumb::Crumb &crumb) {
        return crumb.kind == TabBreadcrumb::Crumb::Kind::tab && !crumb.tabID;
    }

    struct Input {
        QSizeF size;
        bool isCalibrating = false;
        std::vector<TabBreadcrumb::Crumb> crumbs{};
        QString title{};
        QString calibrationSummary{};
    };

    struct CrumbSlot {
        std::optional<QRectF> separator;  // every crumb but the first
        QRectF frame;
    };

    // The breadcrumb: one slot per crumb, and the part of the row there is room for.
    std::vector<CrumbSlot> crumbs;
    QRectF breadcrumbRow;
    // The title, where there is no crumb.
    std::optional<QRectF> title;
    QString titleText;  // cut in the middle to fit
    std::optional<QRectF> commandButton;
    std::optional<QRectF> menuButton;
    std::optional<QRectF> symbol;
    std::optional<QRectF> summary;
    QString summaryText;  // cut at the end to fit

    static OverlayBarLayout make(const Input &input);
};

}  // namespace ondrake
