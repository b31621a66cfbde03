#include "Ondrake/Sidebar/NewTabRow.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QPainter>
#include <QPainterPath>

namespace ondrake {

namespace {
constexpr int kRowHeight = 28;
constexpr int kOuterPadding = 6;
}  // namespace

NewTabRow::NewTabRow(SidebarEnvironment *environment, QWidget *parent)
    : QAbstractButton(parent), environment_(environment) {
    setObjectName(QStringLiteral("newTabRow"));
    // Reached by Tab; a click does not take the focus, which would leave the row lit after the
    // pointer went.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setText(tr("New Tab"));
    setMouseTracking(true);
    if (environment) {
        connect(environment, &SidebarEnvironment::themeChanged, this, qOverload<>(&QWidget::update));
        connect(environment, &SidebarEnvironment::compactChanged, this, [this] {
            updateGeometry();
            update();
        });
    }
}

void NewTabRow::setTarget(const QString &help, const std::optional<QString> &windowLabel) {
    setToolTip(help);
    setAccessibleName(help);
    if (windowLabel == windowLabel_) return;
    windowLabel_ = windowLabel;
    update();
}

bool NewTabRow::isCompact() const { return environment_ && environment_->isCompact(); }

QSize NewTabRow::sizeHint() const { return QSize(isCompact() ? 28 + 2 * kOuterPadding : 120, kRowHeight + 2 * kOuterPadding); }

void NewTabRow::enterEvent(QEnterEvent *) {
    hovered_ = true;
    update();
}

void NewTabRow::leaveEvent(QEvent *) {
    hovered_ = false;
    update();
}

void NewTabRow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    const QColor muted = theme.mutedForeground.resolved(palette());
    const bool compact = isCompact();

    const QRectF inner = compact ? QRectF(QPointF(0, 0), QSizeF(28, 28)).translated(
                                       QRectF(rect()).center() - QPointF(14, 14))
                                 : QRectF(rect()).adjusted(kOuterPadding, kOuterPadding, -kOuterPadding, -kOuterPadding);
    if (hovered_ || isDown() || hasFocus()) {
        QPainterPath path;
        path.addRoundedRect(inner, 6, 6);
        painter.fillPath(path, theme.hover.resolved(palette()));
    }
    if (compact) {
        SymbolCatalog::paint(painter, u"plus", QRectF(0, 0, 12, 12).translated(inner.center() - QPointF(6, 6)), muted);
        return;
    }

    // Inside the 8-point padding: a 6-point spacer, the 16-point plus, then the words 8 apart.
    double x = inner.left() + 8 + 6 + 8;
    SymbolCatalog::paint(painter, u"plus", QRectF(x + 2.5, inner.center().y() - 5.5, 11, 11), muted);
    x += 16 + 8;
    QFont captionFont = font();
    captionFont.setPixelSize(12);
    painter.setFont(captionFont);
    painter.setPen(muted);
    const double right = inner.right() - 8;
    const QString caption = text();
    const double captionWidth = std::min<double>(QFontMetricsF(captionFont).horizontalAdvance(caption), right - x);
    painter.drawText(QRectF(x, inner.top(), captionWidth, inner.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(captionFont).elidedText(caption, Qt::ElideRight, captionWidth));
    x += captionWidth + 8;
    if (windowLabel_ && x < right) {
        QFont labelFont = font();
        labelFont.setPixelSize(10);
        painter.setFont(labelFont);
        const QRectF box(x, inner.top(), right - x, inner.height());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(labelFont).elidedText(*windowLabel_, Qt::ElideRight, box.width()));
    }
}

}  // namespace ondrake
