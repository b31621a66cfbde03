#include "Overlay/BreadcrumbCrumbView.h"

#include "Overlay/OverlayBarLayout.h"

#include "PlainText.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ondrake {

namespace {

// A crumb that names no other tab is a label to assistive technology, with nothing to press;
// the others are asked of the button they are.
QAccessibleInterface *crumbAccessible(const QString &className, QObject *object) {
    if (className != QLatin1String(BreadcrumbCrumbView::staticMetaObject.className())) return nullptr;
    auto *crumb = qobject_cast<BreadcrumbCrumbView *>(object);
    if (!crumb || crumb->crumb().tabID) return nullptr;
    return new QAccessibleWidget(crumb, QAccessible::StaticText);
}

}  // namespace

BreadcrumbCrumbView::Appearance BreadcrumbCrumbView::appearance(const TabBreadcrumb::Crumb &crumb,
                                                                const SidebarThemeTokens &theme) {
    using Kind = TabBreadcrumb::Crumb::Kind;
    Appearance a{.color = theme.mutedForeground,
                 .emphasised = OverlayBarLayout::isEmphasised(crumb),
                 .isClickable = crumb.tabID.has_value(),
                 .toolTip = {},
                 .accessibleName = crumb.title};
    switch (crumb.kind) {
    case Kind::group: a.color = theme.accent; break;
    case Kind::tab: a.color = crumb.tabID ? theme.mutedForeground : theme.foreground; break;
    case Kind::elision: a.color = theme.mutedForeground; break;
    }
    if (a.isClickable) {
        a.toolTip = tr("Go to “%1”").arg(crumb.title);
        a.accessibleName = tr("Go to %1").arg(crumb.title);
    }
    return a;
}

BreadcrumbCrumbView::BreadcrumbCrumbView(TabBreadcrumb::Crumb crumb, const SidebarThemeTokens &theme,
                                         std::function<void(const QString &)> onActivate, QWidget *parent)
    : QAbstractButton(parent),
      crumb_(std::move(crumb)),
      label_(OverlayBarLayout::crumbLabel(crumb_)),
      theme_(theme),
      onActivate_(std::move(onActivate)) {
    // Qt keeps its factories for the life of the process; one is enough.
    static const bool factoryInstalled = (QAccessible::installFactory(crumbAccessible), true);
    Q_UNUSED(factoryInstalled);
    const auto look = appearance(crumb_, theme_);
    // The button's own text would make an "&" in a title a keyboard mnemonic.
    setText(literalMnemonics(label_));
    setFont(OverlayBarLayout::crumbFont(look.emphasised));
    setAccessibleName(look.accessibleName);
    setToolTip(plainToolTip(look.toolTip));
    if (look.isClickable) {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        connect(this, &QAbstractButton::clicked, this, [this] {
            if (crumb_.tabID && onActivate_) onActivate_(*crumb_.tabID);
        });
    } else {
        // Plain text: the bar underneath gets the pointer.
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

void BreadcrumbCrumbView::setTheme(const SidebarThemeTokens &theme) {
    if (theme == theme_) return;
    theme_ = theme;
    update();
}

QSize BreadcrumbCrumbView::sizeHint() const {
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(OverlayBarLayout::crumbWidth(crumb_))), int(std::ceil(metrics.height())));
}

void BreadcrumbCrumbView::paintEvent(QPaintEvent *) {
    const auto look = appearance(crumb_, theme_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look.isClickable && isHovering_) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(background, theme_.hover.resolved(palette()));
    }
    painter.setFont(font());
    painter.setPen(look.color.resolved(palette()));
    const QRectF label = QRectF(rect()).adjusted(OverlayBarLayout::crumbPadding, 0, -OverlayBarLayout::crumbPadding, 0);
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label_);
    if (hasFocus()) {
        QPen ring(theme_.accent.resolved(palette()), 1.5);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), cornerRadius, cornerRadius);
    }
}

void BreadcrumbCrumbView::enterEvent(QEnterEvent *event) {
    isHovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void BreadcrumbCrumbView::leaveEvent(QEvent *event) {
    isHovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace ondrake
