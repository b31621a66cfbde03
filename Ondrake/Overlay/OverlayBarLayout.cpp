#include "Overlay/OverlayBarLayout.h"

#include "Store/SidebarKeyCommand.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeySequence>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QRectF centred(double x, QSizeF size, double barHeight) {
    return QRectF(x, (barHeight - size.height()) / 2, size.width(), size.height());
}

}  // namespace

QFont OverlayBarLayout::crumbFont(bool emphasised) {
    return systemFont(12, emphasised ? QFont::DemiBold : QFont::Normal);
}
QFont OverlayBarLayout::separatorFont() { return systemFont(11, QFont::Normal); }
QFont OverlayBarLayout::titleFont() { return systemFont(12, QFont::Medium); }
// The interface font's digits are all of one width, so the numbers do not jitter as they change.
QFont OverlayBarLayout::summaryFont() { return systemFont(11, QFont::Medium); }
QFont OverlayBarLayout::symbolFont() { return systemFont(10, QFont::DemiBold); }
QFont OverlayBarLayout::captionFont() { return systemFont(11, QFont::DemiBold); }

QString OverlayBarLayout::commandCaption() { return keyCaption(QKeySequence(Qt::CTRL | Qt::Key_K)); }

QSizeF OverlayBarLayout::captionButtonSize(const QString &caption) {
    const double text = QFontMetricsF(captionFont()).horizontalAdvance(caption);
    return {std::max(buttonSize.width(), std::ceil(text + 2 * captionPadding)), buttonSize.height()};
}

QString OverlayBarLayout::calibrationText(const QString &summary) {
    return QCoreApplication::translate("ondrake::OverlayBarView", "Drag to place · ") + summary;
}

QString OverlayBarLayout::crumbLabel(const TabBreadcrumb::Crumb &crumb) {
    const QFontMetricsF metrics(crumbFont(isEmphasised(crumb)));
    return metrics.elidedText(crumb.title, Qt::ElideRight, crumbMaximumWidth);
}

double OverlayBarLayout::crumbWidth(const TabBreadcrumb::Crumb &crumb) {
    const QFontMetricsF metrics(crumbFont(isEmphasised(crumb)));
    return std::min(crumbMaximumWidth, metrics.horizontalAdvance(crumbLabel(crumb))) + 2 * crumbPadding;
}

OverlayBarLayout OverlayBarLayout::make(const Input &in) {
    OverlayBarLayout layout;
    const double width = in.size.width();
    const double height = in.size.height();
    const double start = padding;

    if (in.isCalibrating) {
        layout.symbol = centred(start, calibrationSymbolSize, height);
        const QFontMetricsF metrics(summaryFont());
        const double x = layout.symbol->right() + spacing;
        const double room = std::max(0.0, width - padding - calibrationMinimumSpacer - spacing - x);
        const QString text = calibrationText(in.calibrationSummary);
        layout.summaryText = metrics.elidedText(text, Qt::ElideRight, room);
        layout.summary = centred(x, QSizeF(std::min(room, metrics.horizontalAdvance(layout.summaryText)),
                                           metrics.height()), height);
        return layout;
    }

    layout.menuButton = centred(width - padding - buttonSize.width(), buttonSize, height);
    const QSizeF commandSize = captionButtonSize(commandCaption());
    layout.commandButton = centred(layout.menuButton->left() - spacing - commandSize.width(), commandSize, height);
    // Between the left part and the buttons: the spacer with the spacing on both its sides.
    const double room = std::max(0.0, layout.commandButton->left() - spacing - minimumSpacer - spacing - start);

    if (in.crumbs.empty()) {
        const QFontMetricsF metrics(titleFont());
        layout.titleText = metrics.elidedText(in.title, Qt::ElideMiddle, room);
        layout.title = centred(start, QSizeF(std::min(room, metrics.horizontalAdvance(layout.titleText)),
                                             metrics.height()), height);
        return layout;
    }

    const QFontMetricsF separatorMetrics(separatorFont());
    const QSizeF separatorSize(separatorMetrics.horizontalAdvance(separator), separatorMetrics.height());
    double x = start;
    for (std::size_t i = 0; i < in.crumbs.size(); ++i) {
        CrumbSlot slot;
        if (i > 0) {
            x += crumbSpacing;
            slot.separator = centred(x, separatorSize, height);
            x = slot.separator->right() + crumbSpacing;
        }
        const auto &crumb = in.crumbs[i];
        const QFontMetricsF metrics(crumbFont(isEmphasised(crumb)));
        slot.frame = centred(x, QSizeF(crumbWidth(crumb), metrics.height()), height);
        x = slot.frame.right();
        layout.crumbs.push_back(slot);
    }
    // Crumbs keep their width; what does not fit beside the buttons is cut off.
    layout.breadcrumbRow = QRectF(start, 0, std::min(room, x - start), height);
    return layout;
}

}  // namespace ondrake
