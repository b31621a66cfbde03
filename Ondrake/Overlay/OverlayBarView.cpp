#include "Overlay/OverlayBarView.h"

#include "Overlay/BreadcrumbCrumbView.h"
#include "Overlay/OverlayBarButton.h"

#include "Ondrake/Sidebar/SeamShading.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace ondrake {

// Drawn over everything else while calibrating, so the bar's extent is plain to see.
class OverlayBarView::Outline final : public QWidget {
public:
    explicit Outline(OverlayBarView *bar) : QWidget(bar), bar_(bar) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        QPen pen(bar_->theme().accent.resolved(palette()), outlineWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.setPen(pen);
        const double inset = outlineWidth / 2;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }

private:
    OverlayBarView *bar_;
};

QString OverlayBarView::commandPaletteHelp() {
    return QStringLiteral("Command palette (%1)").arg(OverlayBarLayout::commandCaption());
}

OverlayBarView::OverlayBarView(OverlayBarModel &model, UserDefaults *defaults, QWidget *parent)
    : QWidget(parent), model_(model) {
    setAccessibleName(tr("Tab bar overlay"));
    breadcrumbRow_ = new QWidget(this);
    breadcrumbRow_->setAccessibleName(tr("Breadcrumb"));
    commandButton_ = new OverlayBarButton({.caption = OverlayBarLayout::commandCaption()}, commandPaletteHelp(),
                                          [this] { model_.onCommandPalette(); }, this);
    menuButton_ = new OverlayBarButton({.symbol = OverlayBarLayout::menuSymbol}, menuHelp, [this] { model_.onMenu(); }, this);
    seam_ = new SeamShading(SeamShading::Side::leading, theme().seam, false, defaults, this);
    outline_ = new Outline(this);

    connect(&model_, &OverlayBarModel::titleChanged, this, [this] { relayout(); });
    connect(&model_, &OverlayBarModel::breadcrumbChanged, this, [this] { rebuildCrumbs(); });
    connect(&model_, &OverlayBarModel::calibratingChanged, this, [this] { relayout(); });
    connect(&model_, &OverlayBarModel::calibrationSummaryChanged, this, [this] { relayout(); });
    rebuildCrumbs();
}

OverlayBarView::~OverlayBarView() = default;

const SidebarThemeTokens &OverlayBarView::tokens(ColorScheme scheme) {
    return scheme == ColorScheme::dark ? SidebarThemeTokens::dark() : SidebarThemeTokens::light();
}

double OverlayBarView::hairlineHeight(std::optional<double> mainScreenScale) {
    return mainScreenScale && *mainScreenScale > 0 ? 1.0 / *mainScreenScale : 0.5;
}

QColor OverlayBarView::backgroundColor() const {
    const auto &set = theme();
    // The dark set has no background of its own: the window's colour stands in.
    return set.background ? set.background->resolved(palette()) : palette().color(QPalette::Window);
}

OverlayBarLayout OverlayBarView::currentLayout() const {
    return OverlayBarLayout::make({.size = QSizeF(size()),
                                   .isCalibrating = model_.isCalibrating(),
                                   .crumbs = model_.breadcrumb().crumbs,
                                   .title = model_.title(),
                                   .calibrationSummary = model_.calibrationSummary()});
}

void OverlayBarView::rebuildCrumbs() {
    // A crumb may be the one whose click changed the breadcrumb: let it finish its click first.
    for (auto *crumb : crumbs_) {
        crumb->hide();
        crumb->deleteLater();
    }
    crumbs_.clear();
    for (const auto &crumb : model_.breadcrumb().crumbs) {
        auto *view = new BreadcrumbCrumbView(crumb, theme(), [this](const QString &id) { model_.onActivateCrumb(id); },
                                             breadcrumbRow_);
        crumbs_.push_back(view);
    }
    relayout();
}

void OverlayBarView::relayout() {
    const auto layout = currentLayout();
    const bool calibrating = model_.isCalibrating();
    breadcrumbRow_->setVisible(!calibrating && !crumbs_.empty());
    breadcrumbRow_->setGeometry(layout.breadcrumbRow.toAlignedRect());
    for (std::size_t i = 0; i < crumbs_.size() && i < layout.crumbs.size(); ++i) {
        crumbs_[i]->setGeometry(layout.crumbs[i].frame.translated(-layout.breadcrumbRow.topLeft()).toAlignedRect());
        crumbs_[i]->show();
    }
    commandButton_->setVisible(!calibrating);
    menuButton_->setVisible(!calibrating);
    if (layout.commandButton) commandButton_->move(layout.commandButton->topLeft().toPoint());
    if (layout.menuButton) menuButton_->move(layout.menuButton->topLeft().toPoint());
    seam_->setGeometry(rect());
    seam_->raise();
    outline_->setGeometry(rect());
    outline_->setVisible(calibrating);
    outline_->raise();
    update();
}

void OverlayBarView::applyTheme() {
    const auto &set = theme();
    seam_->setColor(set.seam);
    for (auto *crumb : crumbs_) crumb->setTheme(set);
    update();
}

void OverlayBarView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    relayout();
}

void OverlayBarView::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyTheme();
}

void OverlayBarView::paintEvent(QPaintEvent *) {
    const auto &set = theme();
    const auto layout = currentLayout();
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    if (model_.isCalibrating()) {
        SymbolCatalog::paint(painter, OverlayBarLayout::calibrationSymbol, *layout.symbol, set.accent.resolved(palette()));
        painter.setFont(OverlayBarLayout::summaryFont());
        painter.setPen(set.foreground.resolved(palette()));
        painter.drawText(*layout.summary, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, layout.summaryText);
    } else if (layout.title) {
        painter.setFont(OverlayBarLayout::titleFont());
        painter.setPen(set.foreground.resolved(palette()));
        painter.drawText(*layout.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, layout.titleText);
    } else {
        painter.save();
        painter.setClipRect(layout.breadcrumbRow);
        painter.setFont(OverlayBarLayout::separatorFont());
        painter.setPen(set.mutedForeground.resolved(palette()));
        for (const auto &slot : layout.crumbs)
            if (slot.separator)
                painter.drawText(*slot.separator, Qt::AlignCenter | Qt::TextSingleLine, OverlayBarLayout::separator);
        painter.restore();
    }

    const auto *screen = QGuiApplication::primaryScreen();
    const double line = hairlineHeight(screen ? std::optional(screen->devicePixelRatio()) : std::nullopt);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, height() - line, width(), line), set.border.resolved(palette()));
}

}  // namespace ondrake
