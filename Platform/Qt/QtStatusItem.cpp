#include "Qt/QtStatusItem.h"

#include "PlainText.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QMenu>
#include <QSystemTrayIcon>

namespace ondrake {

// While the menu or one of its submenus is open, the keyboard is theirs: a key equivalent of an
// item closes the menu and chooses the item, as a click on it would. The item is taken as the
// menu shows it; one that cannot be chosen takes its key and leaves the menu open, as it is.
class QtStatusItem::OpenMenuKeys final : public QObject {
public:
    explicit OpenMenuKeys(QtStatusItem &item) : item_(item) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::KeyPress || !item_.model_) return false;
        const MenuItem *item = item_.model_->itemForKey(*static_cast<QKeyEvent *>(event));
        if (!item) return false;
        if (!MenuModel::canChoose(*item)) return true;
        const MenuItem chosen = *item;
        for (auto *sub : item_.menu_->findChildren<QMenu *>()) sub->hide();
        item_.menu_->hide();
        return MenuModel::choose(chosen);
    }

private:
    QtStatusItem &item_;
};

QtStatusItem::QtStatusItem()
    : available_(QSystemTrayIcon::isSystemTrayAvailable()), menu_(std::make_unique<QMenu>()),
      keys_(std::make_unique<OpenMenuKeys>(*this)) {
    menu_->setTitle(QStringLiteral("Ondrake"));
    menu_->installEventFilter(keys_.get());
    QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(), [this] { rebuild(); });
    if (!available_) {
        log_.info("This desktop has no system tray; running without the status menu");
        return;
    }
    tray_ = std::make_unique<QSystemTrayIcon>();
    tray_->setContextMenu(menu_.get());
    // A plain click opens the menu too, as on a menu bar.
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, menu_.get(), [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger) performClick();
    });
    // Not shown yet: a tray given an icon without a picture keeps an empty square for it.
}

QtStatusItem::~QtStatusItem() {
    // The tray refers to the menu; it goes first.
    tray_.reset();
}

void QtStatusItem::setImage(const QIcon &image, const QString &accessibilityDescription) {
    if (!tray_) return;
    tray_->setToolTip(accessibilityDescription);
    if (image.isNull()) {
        tray_->hide();
        return;
    }
    tray_->setIcon(trayImage(image, QGuiApplication::palette().color(QPalette::WindowText)));
    tray_->show();
}

QIcon QtStatusItem::trayImage(const QIcon &image, const QColor &ink) {
    QIcon out;
    for (const int side : kTraySizes) {
        QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        image.paint(&painter, canvas.rect());
        if (image.isMask()) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(canvas.rect(), ink);
        }
        painter.end();
        out.addPixmap(QPixmap::fromImage(canvas));
    }
    out.setIsMask(image.isMask());
    return out;
}

void QtStatusItem::setMenu(std::shared_ptr<MenuModel> menu) {
    model_ = std::move(menu);
    rebuild();
}

void QtStatusItem::performClick() {
    if (!tray_) return;
    menu_->popup(QCursor::pos());
}

void QtStatusItem::rebuild() {
    if (!model_) return;
    model_->willOpen();
    fill(*menu_, *model_);
    for (auto *sub : menu_->findChildren<QMenu *>()) sub->installEventFilter(keys_.get());
}

void QtStatusItem::fill(QMenu &menu, const MenuModel &model) {
    // Clearing leaves the submenus made by the last fill behind as the menu's children; without
    // this every opening of the menu would keep another set. Later, as one may be what called us.
    for (auto *action : menu.actions())
        if (auto *sub = action->menu(); sub && sub->parent() == &menu) sub->deleteLater();
    menu.clear();
    menu.setToolTipsVisible(true);
    // Titles are text as shown, never mnemonic markup.
    for (const auto &item : model.items) {
        if (item.isSeparator) {
            menu.addSeparator();
            continue;
        }
        if (item.submenu) {
            auto *sub = menu.addMenu(literalMnemonics(item.title));
            sub->setEnabled(item.isEnabled);
            fill(*sub, *item.submenu);
            continue;
        }
        auto *action = menu.addAction(literalMnemonics(item.title));
        action->setEnabled(item.isEnabled && bool(item.action));
        action->setCheckable(item.isChecked);
        action->setChecked(item.isChecked);
        action->setToolTip(plainToolTip(item.toolTip));
        action->setShortcut(item.keyEquivalent.sequence());
        action->setShortcutVisibleInContextMenu(true);
        action->setData(item.representedObject);
        // The item itself, with its represented object, as it stood when the menu opened.
        QObject::connect(action, &QAction::triggered, action, [item] { MenuModel::choose(item); });
    }
}

}  // namespace ondrake
