#include "AppDelegate.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>

namespace ondrake {

namespace {

const QString kRecentlyClosed = QStringLiteral("Recently Closed");
const QString kReadLater = QStringLiteral("Read Later");
const QString kExport = QStringLiteral("Export");
const QString kWhenClosing = QStringLiteral("When Closing a Tab");

// An image shipped with the application, if there is one.
QIcon bundleImage(const QString &name) {
    const QString path = QStringLiteral(":/%1.png").arg(name);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

MenuItem disabledNote(const QString &title) {
    MenuItem item;
    item.title = title;
    item.isEnabled = false;
    return item;
}

}  // namespace

void AppDelegate::installStatusItem() {
    auto &statusItem = platform_.statusItem;
    QIcon image = bundleImage(QStringLiteral("MenuBarIcon"));
    if (image.isNull() && SymbolCatalog::canDraw(u"sidebar.left"))
        image = SymbolCatalog::icon(u"sidebar.left", QGuiApplication::palette().color(QPalette::WindowText));
    // A mask, so that a desktop which tints its tray icons can draw it in its own colours.
    if (!image.isNull()) image.setIsMask(true);
    statusItem.setImage(image, image.isNull() ? QString() : QStringLiteral("Ondrake"));

    statusMenu_ = std::make_shared<MenuModel>();
    const QPointer<AppDelegate> self(this);
    // Every item's action holds the delegate weakly and does nothing once it is gone.
    const auto command = [self](void (AppDelegate::*handler)()) {
        return [self, handler](const MenuItem &) {
            if (self) ((*self).*handler)();
        };
    };
    const auto add = [&](const QString &title, std::function<void(const MenuItem &)> action,
                         KeyEquivalent key = KeyEquivalent::none()) {
        MenuItem item;
        item.title = title;
        item.action = std::move(action);
        item.keyEquivalent = std::move(key);
        statusMenu_->items.push_back(std::move(item));
    };
    const auto submenu = [&](const QString &title) {
        MenuItem item;
        item.title = title;
        item.submenu = std::make_shared<MenuModel>();
        statusMenu_->items.push_back(std::move(item));
    };
    const auto separator = [&] { statusMenu_->items.push_back(MenuItem::separator()); };

    add(QStringLiteral("Show Sidebar"), command(&AppDelegate::showSidebar));
    add(QStringLiteral("Hide Sidebar"), command(&AppDelegate::hideSidebar));
    add(QStringLiteral("Compact Mode"), command(&AppDelegate::toggleCompactMode), KeyEquivalent::commandShiftKey(QStringLiteral("c")));
    add(QStringLiteral("Immersive Mode"), command(&AppDelegate::toggleImmersiveMode));
    add(QStringLiteral("Calibrate Tab Bar Overlay…"), command(&AppDelegate::calibrateOverlay));
    add(QStringLiteral("Command Palette…"), command(&AppDelegate::openCommandPalette),
        KeyEquivalent::commandKey(QStringLiteral("k")));
    separator();
    add(QStringLiteral("Reopen Closed Tab"), command(&AppDelegate::reopenLastClosed), KeyEquivalent::commandShiftKey(QStringLiteral("t")));
    submenu(kRecentlyClosed);
    submenu(kReadLater);
    separator();
    submenu(kExport);
    add(QStringLiteral("Import…"), command(&AppDelegate::importArchive));
    separator();
    submenu(kWhenClosing);
    separator();
    add(QStringLiteral("Refresh"), command(&AppDelegate::refresh), KeyEquivalent::commandKey(QStringLiteral("r")));
    add(QStringLiteral("Settings…"), command(&AppDelegate::openSettings), kSettingsKey);
    add(QStringLiteral("Check for Updates…"), command(&AppDelegate::checkForUpdates));
    separator();
    add(QStringLiteral("Quit Ondrake"), command(&AppDelegate::quit), KeyEquivalent::commandKey(QStringLiteral("q")));

    statusMenu_->onWillOpen = [self] {
        if (self) self->menuNeedsUpdate();
    };
    statusItem.setMenu(statusMenu_);
    // The keys the menu shows work without opening it, and without a tray to open it from. Made
    // before the panel's key monitor, which therefore sees a key first, as a local monitor does.
    menuKeys_ = std::make_unique<MenuKeyEquivalents>(statusMenu_, [self](const QWidget &window) {
        return self && self->isOwnWindow(window);
    });
}

void AppDelegate::menuNeedsUpdate() {
    auto &menu = *statusMenu_;
    const bool wants = presence_->userWantsSidebar;
    menu.item(QStringLiteral("Show Sidebar"))->isEnabled = !wants;
    menu.item(QStringLiteral("Hide Sidebar"))->isEnabled = wants;
    menu.item(QStringLiteral("Compact Mode"))->isChecked = store_->isCompact();

    const bool immersiveFeature = store_->flags().isEnabled(FeatureFlag::immersiveMode());
    auto *immersive = menu.item(QStringLiteral("Immersive Mode"));
    immersive->isEnabled = immersiveFeature;
    immersive->isChecked = isImmersiveModeOn();
    immersive->toolTip = immersiveFeature
                             ? QStringLiteral("Draw an Ondrake bar over Safari's tab row. Safari's tabs are unchanged underneath.")
                             : QStringLiteral("Turn on Immersive Mode in Settings → Feature Flags first.");

    // Items whose window or service has not been built are shown but cannot be chosen.
    auto *check = menu.item(QStringLiteral("Check for Updates…"));
    check->isEnabled = updates_->canCheck();
    check->toolTip = check->isEnabled ? QString() : QStringLiteral("An update check is already in progress.");
    auto *calibrate = menu.item(QStringLiteral("Calibrate Tab Bar Overlay…"));
    calibrate->isEnabled = immersiveFeature;
    calibrate->toolTip = immersive_ && immersive_->hiddenReason() ? message(*immersive_->hiddenReason()) : QString();

    rebuildSubmenus();
}

void AppDelegate::rebuildSubmenus() {
    auto &menu = *statusMenu_;
    const QPointer<AppDelegate> self(this);

    auto &closed = *menu.item(kRecentlyClosed)->submenu;
    closed.items.clear();
    const auto &batches = store_->recentlyClosed().batches;
    for (auto it = batches.rbegin(); it != batches.rend(); ++it) {
        MenuItem item;
        item.title = it->title();
        item.representedObject = it->id;
        item.action = [self](const MenuItem &chosen) {
            if (self) self->reopenSpecific(chosen.representedObject);
        };
        closed.items.push_back(std::move(item));
    }
    if (batches.empty()) closed.items.push_back(disabledNote(QStringLiteral("Nothing Closed Yet")));

    auto &closing = *menu.item(kWhenClosing)->submenu;
    closing.items.clear();
    struct Behaviour {
        ParentCloseBehavior value;
        QString title;
        QString toolTip;
    };
    const Behaviour behaviours[] = {
        {ParentCloseBehavior::parentOnly, QStringLiteral("Close Only That Tab"),
         QStringLiteral("Nested tabs move up a level and stay open.")},
        {ParentCloseBehavior::parentAndDescendants, QStringLiteral("Close Its Nested Tabs Too"),
         QStringLiteral("Nested tabs close with it. Locked and pinned ones are kept.")},
    };
    for (const auto &b : behaviours) {
        MenuItem item;
        item.title = b.title;
        item.toolTip = b.toolTip;
        item.representedObject = toString(b.value);
        item.isChecked = store_->settings().parentCloseBehavior == b.value;
        item.action = [self](const MenuItem &chosen) {
            if (self) self->setCloseBehavior(chosen.representedObject);
        };
        closing.items.push_back(std::move(item));
    }

    auto &readLater = *menu.item(kReadLater)->submenu;
    readLater.items.clear();
    for (const auto &record : store_->book().readLaterRecords()) {
        MenuItem item;
        item.title = !record.title.isEmpty() ? record.title
                     : record.url            ? *record.url
                                             : QStringLiteral("Untitled");
        item.submenu = std::make_shared<MenuModel>();
        using Handler = std::function<void(AppDelegate &, const QVariant &)>;
        const std::pair<QString, Handler> actions[] = {
            {QStringLiteral("Open"), [](AppDelegate &d, const QVariant &id) { d.openReadLater(id, false); }},
            {QStringLiteral("Open and Mark Read"), [](AppDelegate &d, const QVariant &id) { d.openReadLater(id, true); }},
            {QStringLiteral("Mark as Read"), [](AppDelegate &d, const QVariant &id) { d.markReadLater(id); }},
            {QStringLiteral("Remove from Read Later"), [](AppDelegate &d, const QVariant &id) { d.removeReadLater(id); }},
        };
        for (const auto &[title, handler] : actions) {
            MenuItem action;
            action.title = title;
            action.representedObject = record.id.toString();
            action.action = [self, handler](const MenuItem &chosen) {
                if (self) handler(*self, chosen.representedObject);
            };
            item.submenu->items.push_back(std::move(action));
        }
        readLater.items.push_back(std::move(item));
    }
    if (readLater.items.empty()) readLater.items.push_back(disabledNote(QStringLiteral("Nothing Saved Yet")));

    auto &exports = *menu.item(kExport)->submenu;
    const auto exporting = [self](TabStore::ExportScope scope) {
        return [self, scope](const MenuItem &) {
            if (self) self->runExportPanel(scope);
        };
    };
    MenuItem selected;
    selected.title = QStringLiteral("Selected Tabs…");
    selected.action = exporting(TabStore::ExportScope::selectedTabs());
    selected.isEnabled = !store_->selection().ids.empty();
    MenuItem window;
    window.title = QStringLiteral("Current Window…");
    window.action = exporting(TabStore::ExportScope::currentWindow());
    window.isEnabled = !store_->windows().empty();
    MenuItem group;
    group.title = QStringLiteral("Group");
    group.submenu = std::make_shared<MenuModel>();
    for (const auto &g : store_->sortedGroups()) {
        MenuItem item;
        item.title = g.name;
        item.representedObject = g.id.toString();
        item.action = [self](const MenuItem &chosen) {
            if (self) self->exportGroup(chosen.representedObject);
        };
        group.submenu->items.push_back(std::move(item));
    }
    if (group.submenu->items.empty()) group.submenu->items.push_back(disabledNote(QStringLiteral("No Groups")));
    MenuItem all;
    all.title = QStringLiteral("All Ondrake Data…");
    all.action = exporting(TabStore::ExportScope::allData());
    exports.items = {selected, window, group, MenuItem::separator(), all};

    menu.item(QStringLiteral("Reopen Closed Tab"))->isEnabled = !batches.empty();
}

}  // namespace ondrake
