#include "Qt/QtStatusItem.h"

#include "Log.h"
#include "SimulatedStatusItem.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

// A menu of each kind of item, recording which actions ran with which argument.
struct SampleMenu {
    std::shared_ptr<MenuModel> model = std::make_shared<MenuModel>();
    std::vector<QVariant> chosen;
    int opened = 0;

    SampleMenu() {
        const auto record = [this](const MenuItem &item) { chosen.push_back(item.representedObject); };
        MenuItem plain;
        plain.title = QStringLiteral("Refresh");
        plain.keyEquivalent = KeyEquivalent::commandKey(QStringLiteral("r"));
        plain.representedObject = QStringLiteral("plain");
        plain.action = record;
        MenuItem checked = plain;
        checked.title = QStringLiteral("Compact Mode");
        checked.keyEquivalent = KeyEquivalent::commandShiftKey(QStringLiteral("c"));
        checked.isChecked = true;
        checked.toolTip = QStringLiteral("Narrow");
        MenuItem disabled = plain;
        disabled.title = QStringLiteral("Import…");
        disabled.isEnabled = false;
        MenuItem inner = plain;
        inner.title = QStringLiteral("Docs");
        inner.representedObject = QStringLiteral("inner");
        MenuItem parent;
        parent.title = QStringLiteral("Recently Closed");
        parent.submenu = std::make_shared<MenuModel>();
        parent.submenu->items = {inner};
        model->items = {plain, checked, MenuItem::separator(), disabled, parent};
        model->onWillOpen = [this] { ++opened; };
    }
};

TEST(MenuModel, ItemsAreFoundByTitlePathAndOnlyEnabledActionsRun) {
    SampleMenu menu;
    EXPECT_EQ(menu.model->titles(), (QStringList{"Refresh", "Compact Mode", "-", "Import…", "Recently Closed"}));
    ASSERT_NE(menu.model->item(QStringList{"Recently Closed", "Docs"}), nullptr);
    EXPECT_EQ(menu.model->item(QStringList{"Recently Closed", "Missing"}), nullptr);
    EXPECT_EQ(menu.model->item(QStringList{"Refresh", "Docs"}), nullptr) << "no submenu to descend into";

    EXPECT_TRUE(MenuModel::choose(*menu.model->item(QStringList{"Recently Closed", "Docs"})));
    EXPECT_FALSE(MenuModel::choose(*menu.model->item(QStringLiteral("Import…"))));
    EXPECT_FALSE(MenuModel::choose(*menu.model->item(QStringLiteral("Recently Closed"))));
    EXPECT_EQ(menu.chosen, std::vector<QVariant>{QStringLiteral("inner")});

    SimulatedStatusItem item;
    item.setMenu(menu.model);
    EXPECT_TRUE(item.choose({"Compact Mode"}));
    EXPECT_EQ(menu.opened, 1) << "choosing opens the menu, which refreshes it first";
}

TEST(MenuModel, AKeyEquivalentRefreshesTheMenuAndChoosesItsItemOnlyWhenThenEnabled) {
    SampleMenu menu;
    bool compactEnabled = true;
    menu.model->onWillOpen = [&] {
        ++menu.opened;
        menu.model->item(QStringLiteral("Compact Mode"))->isEnabled = compactEnabled;
    };
    struct Case {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool enabledAtPress;
        bool runs;
        int refreshes;
    };
    const Case cases[] = {
        {"its key", Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, true, true, 1},
        {"disabled when pressed", Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, false, false, 1},
        {"no item's key: no refresh", Qt::Key_C, Qt::ControlModifier, true, false, 0},
        {"typing", Qt::Key_C, Qt::NoModifier, true, false, 0},
    };
    for (const auto &c : cases) {
        menu.model->item(QStringLiteral("Compact Mode"))->isEnabled = !c.enabledAtPress;  // stale until refreshed
        compactEnabled = c.enabledAtPress;
        menu.opened = 0;
        menu.chosen.clear();
        const QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        EXPECT_EQ(menu.model->performKeyEquivalent(press), c.runs) << c.name;
        EXPECT_EQ(menu.chosen.size(), c.runs ? 1u : 0u) << c.name;
        EXPECT_EQ(menu.opened, c.refreshes) << c.name;
    }
}

TEST(QtStatusItem, WhileOpenItsMenuTakesTheKeysOfItsItems) {
    struct Case {
        const char *name;
        bool inSubmenu;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<QVariant> chosen;
        bool closes;
        bool disabled = false;  // the item of the key is shown disabled
    };
    const std::vector<Case> cases = {
        {"an item's key", false, Qt::Key_R, Qt::ControlModifier, {QStringLiteral("plain")}, true},
        {"with a submenu open", true, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, {QStringLiteral("plain")}, true},
        {"a letter alone", false, Qt::Key_R, Qt::NoModifier, {}, false},
        {"a disabled item's key", false, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, {}, false, true},
        {"a disabled item's key in a submenu", true, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, {}, false, true},
    };
    for (const auto &c : cases) {
        SampleMenu menu;
        if (c.disabled) {
            // As the menu shows it: refreshed when opening.
            menu.model->onWillOpen = [&menu] { menu.model->item(QStringLiteral("Compact Mode"))->isEnabled = false; };
        }
        QtStatusItem item;
        item.setMenu(menu.model);
        item.menu().popup(QPoint(0, 0));
        QMenu *target = &item.menu();
        if (c.inSubmenu) {
            target = item.menu().actions()[4]->menu();
            target->popup(QPoint(10, 10));
        }
        ASSERT_TRUE(target->isVisible()) << c.name;
        QTest::keyClick(target, c.key, c.modifiers);
        EXPECT_EQ(menu.chosen, c.chosen) << c.name;
        EXPECT_EQ(item.menu().isVisible(), !c.closes) << c.name;
        EXPECT_EQ(target->isVisible(), !c.closes) << c.name;
        item.menu().hide();
    }
}

TEST(QtStatusItem, TheTraysMenuIsDrawnFromTheModel) {
    SampleMenu menu;
    QMenu qmenu;
    QtStatusItem::fill(qmenu, *menu.model);
    const auto actions = qmenu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Refresh"));
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_EQ(actions[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    EXPECT_EQ(actions[1]->toolTip(), QStringLiteral("Narrow"));
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_FALSE(actions[3]->isEnabled());
    ASSERT_NE(actions[4]->menu(), nullptr);
    EXPECT_EQ(actions[4]->menu()->actions().front()->text(), QStringLiteral("Docs"));

    actions[0]->trigger();
    actions[4]->menu()->actions().front()->trigger();
    EXPECT_EQ(menu.chosen, (std::vector<QVariant>{QStringLiteral("plain"), QStringLiteral("inner")}));

    // Rebuilding replaces what was there, submenus included, however often the menu opens.
    const auto submenus = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return qmenu.findChildren<QMenu *>().size();
    };
    for (int i = 0; i < 3; ++i) QtStatusItem::fill(qmenu, *menu.model);
    EXPECT_EQ(submenus(), 1);
    menu.model->items.resize(1);
    QtStatusItem::fill(qmenu, *menu.model);
    EXPECT_EQ(qmenu.actions().size(), 1);
    EXPECT_EQ(submenus(), 0);
}

TEST(QtStatusItem, WithoutATraySaysSoOnceAndRunsOn) {
    LogCapture log;
    QtStatusItem item;
    EXPECT_FALSE(item.isAvailable());
    EXPECT_EQ(log.messages(QStringLiteral("Sidebar")),
              std::vector<QString>{QStringLiteral("This desktop has no system tray; running without the status menu")});
    SampleMenu menu;
    item.setMenu(menu.model);
    item.performClick();
    EXPECT_EQ(item.menu().actions().size(), 5) << "the menu is still kept current";
}

TEST(QtStatusItem, TheTrayPictureHasNoGroundAndAMaskTakesTheInk) {
    // A round glyph in the middle of a transparent square, as the symbol is drawn.
    QPixmap glyph(32, 32);
    glyph.fill(Qt::transparent);
    {
        QPainter painter(&glyph);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(8, 8, 16, 16));
    }
    struct Case {
        bool mask;
        QColor centre;
    };
    for (const auto &c : {Case{true, QColor(200, 30, 30)}, Case{false, QColor(Qt::black)}}) {
        SCOPED_TRACE(c.mask ? "mask" : "picture");
        QIcon image(glyph);
        image.setIsMask(c.mask);
        const QIcon tray = QtStatusItem::trayImage(image, QColor(200, 30, 30));
        EXPECT_EQ(tray.isMask(), c.mask);
        std::vector<int> sides;
        for (const QSize size : tray.availableSizes()) sides.push_back(size.width());
        EXPECT_EQ(sides, std::vector<int>(std::begin(QtStatusItem::kTraySizes), std::end(QtStatusItem::kTraySizes)));
        for (const int side : QtStatusItem::kTraySizes) {
            const QImage picture = tray.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(picture.size(), QSize(side, side));
            // Every corner shows the tray through; only the glyph is drawn, in one colour.
            for (const QPoint corner : {QPoint(0, 0), QPoint(side - 1, 0), QPoint(0, side - 1), QPoint(side - 1, side - 1)})
                EXPECT_EQ(qAlpha(picture.pixel(corner)), 0) << side;
            EXPECT_EQ(picture.pixelColor(side / 2, side / 2), c.centre) << side;
        }
    }
}

}  // namespace
}  // namespace ondrake
