#include "AppWorld.h"

#include "Overlay/OverlayBarView.h"
#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SidebarView.h"
#include "Pixels.h"
#include "Qt/QtStatusItem.h"
#include "Screenshots.h"
#include "Shell/SidebarKeyEvents.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace ondrake::test {
namespace {

QRect areaOf(const QWidget *widget, const QWidget *in) {
    return QRect(widget->mapTo(in, widget->contentsRect().topLeft()), widget->contentsRect().size());
}

QColor laidOver(const QColor &top, const QColor &bottom) {
    const auto mix = [a = top.alphaF()](float t, float b) { return t * a + b * (1 - a); };
    return QColor::fromRgbF(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()),
                            mix(top.blueF(), bottom.blueF()));
}

// The desktop's own palette for a dark scheme, as a platform theme would set it.
QPalette darkDesktop() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, QColor(40, 40, 42));
    palette.setColor(QPalette::WindowText, QColor(250, 250, 250));
    palette.setColor(QPalette::Base, QColor(30, 30, 32));
    palette.setColor(QPalette::Text, QColor(250, 250, 250));
    return palette;
}

TEST(SidebarLook, TheHeaderReadsInTheThemeTheApplicationStartsWithAndInEveryLaterOne) {
    const QPalette desktop = QApplication::palette();
    AppWorld world;
    world.openBrowser({page("Alpha"), page("Beta")});
    world.defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("dark"));
    auto &app = world.launch();
    world.step(1);
    SidebarView *view = app.sidebarView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(world.panel().isVisible());

    struct Step {
        const char *theme;
        bool darkDesktop;
        bool darkPanel;
    };
    const Step steps[] = {
        {"dark", false, true},          {"light", false, false},        {"pastelDusk", false, true},
        {"system", false, false},       {"system", true, true},         {"highContrast", true, true},
        {"grey", true, false},          {"highContrast", false, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(std::string(step.theme) + (step.darkDesktop ? " on a dark desktop" : ""));
        world.defaults.setString(QStringLiteral("SidebarTheme"), QString::fromLatin1(step.theme));
        // The desktop's scheme: windows take a new application palette at the next turn of the loop.
        QApplication::setPalette(step.darkDesktop ? darkDesktop() : desktop);
        QCoreApplication::processEvents();
        world.store().announce(QStringLiteral("Closed 2 tabs"));
        world.step(1);
        const QImage image = world.panel().grab().toImage();
        const QRect title = areaOf(view->titleLabel(), &world.panel());
        EXPECT_EQ(mostCommonColor(image, title).lightnessF() < 0.5, step.darkPanel);
        EXPECT_GE(inkContrast(image, title), 4.5) << "title";
        for (const QLabel *muted : std::initializer_list<const QLabel *>{view->statusLabel(), view->countLabel()}) {
            const QColor surface = mostCommonColor(image, areaOf(muted, &world.panel()));
            const QColor text = muted->palette().color(QPalette::WindowText);
            EXPECT_GE(contrastRatio(laidOver(text, surface), surface), 3) << muted->objectName().toStdString();
        }
        saveScreenshot(image, QStringLiteral("app-sidebar-%1%2").arg(QString::fromLatin1(step.theme),
                                                                      step.darkDesktop ? "-dark-desktop" : ""));
    }
    QApplication::setPalette(desktop);
    QCoreApplication::processEvents();
}

TEST(SidebarLook, CaptionsNameTheKeysTheWayTheMenuShowsThemAndThoseKeysWork) {
    // Every key a caption names, pressed in the panel, gives its command.
    for (const auto command : {SidebarKeyCommand::selectAll, SidebarKeyCommand::clearSelection,
                               SidebarKeyCommand::closeSelection, SidebarKeyCommand::reopenLastClosed,
                               SidebarKeyCommand::focusSearch, SidebarKeyCommand::toggleCompactMode}) {
        const QKeyCombination keys = keySequence(command)[0];
        const QKeyEvent press(QEvent::KeyPress, keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(sidebarKeyCommand(press, true), command) << keyCaption(keySequence(command)).toStdString();
    }

    AppWorld world;
    world.openBrowser({page("Alpha")});
    auto &app = world.launch();
    QMenu menu;
    QtStatusItem::fill(menu, *world.statusItem.open());
    const auto shownKey = [&](const QString &title) {
        for (const QAction *action : menu.actions())
            if (action->text() == title) return action->shortcut().toString(QKeySequence::NativeText);
        ADD_FAILURE() << "no menu item " << title.toStdString();
        return QString();
    };
    const QString compact = shownKey(QStringLiteral("Compact Mode"));
    EXPECT_EQ(compact, QStringLiteral("Ctrl+Shift+C"));
    SidebarView *view = app.sidebarView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->compactToggle()->toolTip(), QStringLiteral("Collapse to Favicons (%1)").arg(compact));
    EXPECT_EQ(view->searchButton()->toolTip(), QStringLiteral("Search Tabs (Ctrl+F)"));
    EXPECT_EQ(OverlayBarView::commandPaletteHelp(),
              QStringLiteral("Command palette (%1)").arg(shownKey(QStringLiteral("Command Palette…"))));
    EXPECT_EQ(OverlayBarLayout::commandCaption(), shownKey(QStringLiteral("Command Palette…")));
    world.store().setCompact(true);
    world.settle();
    auto *expand = view->compactHeader()->findChild<SidebarIconButton *>();
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(expand->toolTip(), QStringLiteral("Expand Sidebar (%1)").arg(compact));
}

}  // namespace
}  // namespace ondrake::test
