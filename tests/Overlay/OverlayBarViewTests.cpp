#include "Screenshots.h"
#include "ShownText.h"

#include "Overlay/BreadcrumbCrumbView.h"
#include "Overlay/OverlayBarButton.h"
#include "Overlay/OverlayBarLayout.h"
#include "Overlay/OverlayBarView.h"

#include "UserDefaults.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QTest>

using namespace ondrake;
using namespace ondrake::test;
using Crumb = TabBreadcrumb::Crumb;
using Kind = Crumb::Kind;

namespace {

QPalette palette(bool dark) {
    QPalette p;
    p.setColor(QPalette::Window, dark ? QColor(40, 40, 42) : QColor(236, 236, 236));
    p.setColor(QPalette::WindowText, dark ? QColor(255, 255, 255) : QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, QColor(0, 122, 255));
    return p;
}

QColor over(const QColor &top, const QColor &bottom) {
    const double a = top.alphaF();
    auto mix = [a](double t, double b) { return int(std::lround((t * a + b * (1 - a)) * 255)); };
    return QColor(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()), mix(top.blueF(), bottom.blueF()));
}

::testing::AssertionResult near(const QColor &actual, const QColor &expected, int tolerance = 3) {
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.name().toStdString() << " is not " << expected.name().toStdString();
}

Crumb group(const QString &name) { return {QStringLiteral("group"), name, Kind::group, std::nullopt}; }
Crumb ancestor(const QString &id, const QString &title) { return {id, title, Kind::tab, id}; }
Crumb active(const QString &id, const QString &title) { return {id, title, Kind::tab, std::nullopt}; }
Crumb elision() { return {QStringLiteral("elision"), QStringLiteral("…"), Kind::elision, std::nullopt}; }

struct Bar {
    UserDefaults defaults;
    OverlayBarModel model;
    OverlayBarView view{model, &defaults};
    std::vector<QString> activated;
    int palettes = 0;
    int menus = 0;

    explicit Bar(bool dark = false, QSize size = {800, 28}) {
        view.setPalette(palette(dark));
        view.resize(size);
        model.onActivateCrumb = [this](const QString &id) { activated.push_back(id); };
        model.onCommandPalette = [this] { ++palettes; };
        model.onMenu = [this] { ++menus; };
    }
    QImage image() { return view.grab().toImage(); }
};

TEST(OverlayBarLayout, WithNothingToShowOnlyTheButtonsStandAtTheRightEnd) {
    const auto layout = OverlayBarLayout::make({.size = {800, 28}});
    EXPECT_TRUE(layout.crumbs.empty());
    ASSERT_TRUE(layout.title);
    EXPECT_DOUBLE_EQ(layout.title->width(), 0);
    EXPECT_EQ(layout.menuButton, QRectF(768, 4, 22, 20));
    // The palette's button names its key as this desktop does, and is as wide as that needs.
    EXPECT_EQ(OverlayBarLayout::commandCaption(), QStringLiteral("Ctrl+K"));
    const double captionWidth =
        QFontMetricsF(OverlayBarLayout::captionFont()).horizontalAdvance(OverlayBarLayout::commandCaption());
    ASSERT_TRUE(layout.commandButton);
    EXPECT_GE(layout.commandButton->width(), captionWidth + 2 * OverlayBarLayout::captionPadding);
    EXPECT_EQ(layout.commandButton->right(), 760);
    EXPECT_EQ(layout.commandButton->top(), 4);
    EXPECT_EQ(layout.commandButton->height(), 20);
    EXPECT_FALSE(layout.symbol);
}

TEST(OverlayBarLayout, CrumbsRunFromTheLeftWithSeparatorsBetween) {
    const std::vector<Crumb> crumbs{group(QStringLiteral("Work")), ancestor(QStringLiteral("tab-1"), QStringLiteral("A")),
                                    active(QStringLiteral("tab-2"), QStringLiteral("B"))};
    const auto one = OverlayBarLayout::make({.size = {800, 28}, .crumbs = {crumbs.back()}});
    ASSERT_EQ(one.crumbs.size(), 1u);
    EXPECT_FALSE(one.crumbs[0].separator);
    EXPECT_DOUBLE_EQ(one.crumbs[0].frame.x(), 10);
    EXPECT_FALSE(one.title);

    const auto three = OverlayBarLayout::make({.size = {800, 28}, .crumbs = crumbs});
    ASSERT_EQ(three.crumbs.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) {
        ASSERT_TRUE(three.crumbs[i].separator);
        EXPECT_DOUBLE_EQ(three.crumbs[i].separator->x(), three.crumbs[i - 1].frame.right() + 4);
        EXPECT_DOUBLE_EQ(three.crumbs[i].frame.x(), three.crumbs[i].separator->right() + 4);
    }
    EXPECT_DOUBLE_EQ(three.breadcrumbRow.right(), three.crumbs.back().frame.right());
    // Centred vertically.
    EXPECT_DOUBLE_EQ(three.crumbs[1].frame.center().y(), 14);
}

TEST(OverlayBarLayout, ACrumbKeepsItsNaturalWidthUpToTheLimit) {
    const auto shortCrumb = ancestor(QStringLiteral("tab-1"), QStringLiteral("Docs"));
    const QFontMetricsF metrics(OverlayBarLayout::crumbFont(false));
    EXPECT_DOUBLE_EQ(OverlayBarLayout::crumbWidth(shortCrumb), metrics.horizontalAdvance(QStringLiteral("Docs")) + 6);

    const auto longCrumb = ancestor(QStringLiteral("tab-1"), QString(80, QLatin1Char('W')));
    EXPECT_LE(OverlayBarLayout::crumbWidth(longCrumb), 226);
    EXPECT_GT(OverlayBarLayout::crumbWidth(longCrumb), 200);
    EXPECT_TRUE(OverlayBarLayout::crumbLabel(longCrumb).endsWith(QStringLiteral("…")));

    // Crumbs are never squeezed: what does not fit before the buttons is cut off.
    const auto crowded = OverlayBarLayout::make({.size = {400, 28}, .crumbs = {longCrumb, longCrumb}});
    EXPECT_DOUBLE_EQ(crowded.crumbs[1].frame.width(), OverlayBarLayout::crumbWidth(longCrumb));
    EXPECT_LE(crowded.breadcrumbRow.right(), crowded.commandButton->left() - 24);
}

TEST(OverlayBarLayout, ATitleTooLongIsCutInTheMiddle) {
    const QString title = QStringLiteral("The beginning of a very long title ") + QString(60, QLatin1Char('x')) +
                          QStringLiteral(" and its end");
    const auto layout = OverlayBarLayout::make({.size = {400, 28}, .title = title});
    EXPECT_TRUE(layout.titleText.startsWith(QStringLiteral("The beginning")));
    EXPECT_TRUE(layout.titleText.endsWith(QStringLiteral("its end")));
    EXPECT_TRUE(layout.titleText.contains(QStringLiteral("…")));
    EXPECT_LE(layout.title->right(), layout.commandButton->left() - 24);
}

TEST(OverlayBarLayout, TheSummaryDigitsAreAllOneWidth) {
    const QFontMetricsF metrics(OverlayBarLayout::summaryFont());
    const double zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QLatin1Char(digit)), zero) << digit;
}

TEST(BreadcrumbCrumbView, EachKindOfCrumbReadsAndActsItsOwnWay) {
    const auto &t = SidebarThemeTokens::light();
    struct Case {
        Crumb crumb;
        ThemeColor color;
        bool emphasised;
        bool clickable;
        const char *toolTip;
        const char *accessibleName;
    };
    const Case cases[] = {
        {group(QStringLiteral("Work")), t.accent, false, false, "", "Work"},
        {elision(), t.mutedForeground, false, false, "", "…"},
        {ancestor(QStringLiteral("tab-4"), QStringLiteral("Docs")), t.mutedForeground, false, true, "Go to “Docs”",
         "Go to Docs"},
        {active(QStringLiteral("tab-5"), QStringLiteral("Here")), t.foreground, true, false, "", "Here"},
    };
    for (const auto &c : cases) {
        const auto look = BreadcrumbCrumbView::appearance(c.crumb, t);
        EXPECT_EQ(look.color, c.color) << c.accessibleName;
        EXPECT_EQ(look.emphasised, c.emphasised) << c.accessibleName;
        EXPECT_EQ(look.isClickable, c.clickable) << c.accessibleName;
        EXPECT_EQ(look.toolTip, QString::fromUtf8(c.toolTip));
        EXPECT_EQ(look.accessibleName, QString::fromUtf8(c.accessibleName));

        BreadcrumbCrumbView view(c.crumb, t, {});
        EXPECT_EQ(view.toolTip(), look.toolTip);
        EXPECT_EQ(view.accessibleName(), look.accessibleName);
        EXPECT_EQ(view.testAttribute(Qt::WA_TransparentForMouseEvents), !c.clickable);
        EXPECT_EQ(view.font().weight(), c.emphasised ? QFont::DemiBold : QFont::Normal);

        // To assistive technology a crumb that goes nowhere is a label, with nothing to press.
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&view);
        ASSERT_NE(spoken, nullptr);
        EXPECT_EQ(spoken->role(), c.clickable ? QAccessible::Button : QAccessible::StaticText) << c.accessibleName;
        EXPECT_EQ(spoken->text(QAccessible::Name), look.accessibleName);
        const auto *actions = spoken->actionInterface();
        EXPECT_EQ(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()), c.clickable)
            << c.accessibleName;
    }
}

TEST(BreadcrumbCrumbView, ATitleWithMarkupOrAnAmpersandIsShownAsWritten) {
    const QString title = QStringLiteral("<b>Sale</b> & <i>more</i>");
    BreadcrumbCrumbView view(ancestor(QStringLiteral("tab-3"), title), SidebarThemeTokens::light(), {});
    view.resize(view.sizeHint());
    view.show();
    QHelpEvent hover(QEvent::ToolTip, view.rect().center(), view.mapToGlobal(view.rect().center()));
    QApplication::sendEvent(&view, &hover);
    EXPECT_EQ(shownToolTip(QToolTip::text()), QStringLiteral("Go to “<b>Sale</b> & <i>more</i>”"));
    QToolTip::hideText();
    // Nor is its "&" a keyboard shortcut that assistive technology would announce.
    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(spoken->text(QAccessible::Accelerator), QString());
    EXPECT_EQ(spoken->text(QAccessible::Name), QStringLiteral("Go to <b>Sale</b> & <i>more</i>"));
}

TEST(OverlayBarView, ItsFixedCaptionsAreTranslatedAndWhatItShowsOfThePageIsNot) {
    BracketingTranslator translation;
    const auto look = BreadcrumbCrumbView::appearance(ancestor(QStringLiteral("tab-1"), QStringLiteral("Inbox")),
                                                      SidebarThemeTokens::light());
    EXPECT_EQ(look.toolTip, QStringLiteral("[Go to “Inbox”]"));
    EXPECT_EQ(look.accessibleName, QStringLiteral("[Go to Inbox]"));
    EXPECT_EQ(OverlayBarLayout::calibrationText(QStringLiteral("top 52")), QStringLiteral("[Drag to place · ]top 52"));

    Bar bar;
    bar.model.setBreadcrumb({{group(QStringLiteral("Work")), active(QStringLiteral("tab-2"), QStringLiteral("Message"))}});
    EXPECT_EQ(bar.view.accessibleName(), QStringLiteral("[Tab bar overlay]"));
    EXPECT_EQ(bar.view.breadcrumbRow().accessibleName(), QStringLiteral("[Breadcrumb]"));
    EXPECT_EQ(bar.view.crumbViews()[0]->accessibleName(), QStringLiteral("Work"));
    EXPECT_EQ(bar.view.crumbViews()[1]->accessibleName(), QStringLiteral("Message"));
    // The buttons' help is shown as it is written; the key in it is named as the desktop names keys.
    EXPECT_EQ(bar.view.commandButton().toolTip(), QStringLiteral("Command palette ([Ctrl][+]K)"));
}

TEST(OverlayBarView, ShowsTheBreadcrumbAndSendsClicksToTheShell) {
    Bar bar;
    bar.model.setBreadcrumb({{group(QStringLiteral("Work")), ancestor(QStringLiteral("tab-1"), QStringLiteral("Inbox")),
                              active(QStringLiteral("tab-2"), QStringLiteral("Message"))}});
    bar.view.show();
    ASSERT_EQ(bar.view.crumbViews().size(), 3u);
    EXPECT_TRUE(bar.view.breadcrumbRow().isVisible());
    EXPECT_EQ(bar.view.breadcrumbRow().accessibleName(), QStringLiteral("Breadcrumb"));
    saveScreenshot(bar.image(), QStringLiteral("overlay-bar-light"));

    // The shell answers an activation with a new breadcrumb, which replaces the crumb clicked.
    bar.model.onActivateCrumb = [&](const QString &id) {
        bar.activated.push_back(id);
        bar.model.setBreadcrumb({{active(id, QStringLiteral("Inbox"))}});
    };
    auto *inbox = bar.view.crumbViews()[1];
    QTest::mouseClick(inbox, Qt::LeftButton, {}, inbox->rect().center());
    EXPECT_EQ(bar.activated, std::vector<QString>{QStringLiteral("tab-1")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(bar.view.crumbViews().size(), 1u);

    // The active tab's own crumb does nothing.
    auto *own = bar.view.crumbViews()[0];
    QTest::mouseClick(&bar.view, Qt::LeftButton, {}, own->mapTo(&bar.view, own->rect().center()));
    EXPECT_EQ(bar.activated.size(), 1u);

    EXPECT_EQ(bar.view.commandButton().caption(), QStringLiteral("Ctrl+K"));
    EXPECT_TRUE(bar.view.commandButton().symbol().isEmpty());
    EXPECT_EQ(bar.view.commandButton().geometry(), bar.view.currentLayout().commandButton->toRect());
    EXPECT_EQ(bar.view.commandButton().toolTip(), QStringLiteral("Command palette (Ctrl+K)"));
    EXPECT_EQ(bar.view.commandButton().accessibleName(), QStringLiteral("Command palette (Ctrl+K)"));
    EXPECT_EQ(bar.view.menuButton().toolTip(), QStringLiteral("Ondrake menu"));
    QTest::mouseClick(&bar.view.commandButton(), Qt::LeftButton);
    QTest::mouseClick(&bar.view.menuButton(), Qt::LeftButton);
    EXPECT_EQ(bar.palettes, 1);
    EXPECT_EQ(bar.menus, 1);
}

TEST(OverlayBarView, WithoutCrumbsShowsTheTitle) {
    Bar bar(true);
    bar.model.setTitle(QStringLiteral("A page without a breadcrumb"));
    bar.view.show();
    EXPECT_FALSE(bar.view.breadcrumbRow().isVisible());
    EXPECT_TRUE(bar.view.commandButton().isVisible());
    EXPECT_EQ(bar.view.currentLayout().titleText, QStringLiteral("A page without a breadcrumb"));
    saveScreenshot(bar.image(), QStringLiteral("overlay-bar-dark"));
}

TEST(OverlayBarView, TakesTheLightOrDarkSetByItsAppearance) {
    for (const bool dark : {false, true}) {
        Bar bar(dark);
        const QImage image = bar.image();
        const QColor background = dark ? palette(true).color(QPalette::Window)
                                       : SidebarThemeTokens::light().background->resolved(palette(false));
        EXPECT_TRUE(near(bar.view.backgroundColor(), background)) << dark;
        EXPECT_TRUE(near(image.pixelColor(400, 2), background)) << dark;
        // The bottom edge is one device pixel of the border colour.
        const QColor border = OverlayBarView::tokens(dark ? ColorScheme::dark : ColorScheme::light)
                                  .border.resolved(palette(dark));
        EXPECT_TRUE(near(image.pixelColor(400, 27), over(border, background))) << dark;
        EXPECT_TRUE(near(image.pixelColor(400, 26), background)) << dark;
        // The seam darkens or lightens the leading edge.
        EXPECT_FALSE(near(image.pixelColor(0, 14), background, 1)) << dark;
    }
}

TEST(OverlayBarView, TheBottomLineIsOneDevicePixel) {
    EXPECT_DOUBLE_EQ(OverlayBarView::hairlineHeight(2.0), 0.5);
    EXPECT_DOUBLE_EQ(OverlayBarView::hairlineHeight(1.0), 1.0);
    EXPECT_DOUBLE_EQ(OverlayBarView::hairlineHeight(3.0), 1.0 / 3);
    EXPECT_DOUBLE_EQ(OverlayBarView::hairlineHeight(std::nullopt), 0.5);
}

TEST(OverlayBarView, ButtonsBackAndBrightenTheirSymbolUnderThePointer) {
    Bar bar;
    bar.view.show();
    auto &button = bar.view.menuButton();
    const QColor plain = button.grab().toImage().pixelColor(11, 2);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovering());
    const QColor hovered = button.grab().toImage().pixelColor(11, 2);
    EXPECT_TRUE(near(hovered, over(SidebarThemeTokens::light().hover.resolved(palette(false)), plain)));
    EXPECT_EQ(OverlayBarButton::symbolColor(SidebarThemeTokens::light(), true), SidebarThemeTokens::light().foreground);
    EXPECT_EQ(OverlayBarButton::symbolColor(SidebarThemeTokens::light(), false),
              SidebarThemeTokens::light().mutedForeground);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovering());
}

TEST(OverlayBarView, WhileCalibratingShowsTheNumbersInAnOutlineAndNothingToClick) {
    Bar bar;
    bar.model.setBreadcrumb({{ancestor(QStringLiteral("tab-1"), QStringLiteral("Inbox")),
                              active(QStringLiteral("tab-2"), QStringLiteral("Message"))}});
    bar.model.setCalibrationSummary(QStringLiteral("top 52 · height 28 · left 0 · right 0"));
    bar.model.setCalibrating(true);
    bar.view.show();
    EXPECT_FALSE(bar.view.breadcrumbRow().isVisible());
    EXPECT_FALSE(bar.view.commandButton().isVisible());
    EXPECT_FALSE(bar.view.menuButton().isVisible());
    const auto layout = bar.view.currentLayout();
    EXPECT_EQ(layout.summaryText, QStringLiteral("Drag to place · top 52 · height 28 · left 0 · right 0"));
    ASSERT_TRUE(layout.symbol);
    EXPECT_DOUBLE_EQ(layout.symbol->x(), 10);

    QTest::mouseClick(&bar.view, Qt::LeftButton, {}, QPoint(30, 14));
    QTest::mouseClick(&bar.view, Qt::LeftButton, {}, QPoint(780, 14));
    EXPECT_TRUE(bar.activated.empty());
    EXPECT_EQ(bar.menus, 0);

    const QImage image = bar.image();
    saveScreenshot(image, QStringLiteral("overlay-bar-calibrating"));
    const QColor accent = palette(false).color(QPalette::Highlight);
    EXPECT_TRUE(near(image.pixelColor(400, 0), accent));
    EXPECT_TRUE(near(image.pixelColor(799, 14), accent));

    bar.model.setCalibrating(false);
    EXPECT_TRUE(bar.view.breadcrumbRow().isVisible());
    EXPECT_FALSE(near(bar.image().pixelColor(400, 0), accent));
}

}  // namespace
