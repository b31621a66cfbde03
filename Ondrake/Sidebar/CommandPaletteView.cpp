#include "Ondrake/Sidebar/CommandPaletteView.h"

#include "Ondrake/Sidebar/FaviconView.h"
#include "Ondrake/Sidebar/SearchKey.h"
#include "Ondrake/Sidebar/SidebarText.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/TabActivation.h"
#include "Ondrake/Sidebar/WrappingLabel.h"

#include "Async.h"
#include "Store/TabStore.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace ondrake {

namespace {
constexpr int kRowPadding = 2;
constexpr int kTitlePixels = 13;
constexpr int kCaptionPixels = 11;

QColor secondary(const QPalette &palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    return color;
}

// Favicon, title and host, on the accent's tint when highlighted.
class PaletteResultDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override {
        const int lines = QFontMetrics(sidebar::sizedFont(option.font, kTitlePixels)).height() + 1
                          + QFontMetrics(sidebar::sizedFont(option.font, kCaptionPixels)).height();
        return QSize(option.rect.width(), lines + 2 * kRowPadding + 4);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(8, 0, -8, 0);
        if (index.data(PaletteResultModel::HighlightedRole).toBool()) {
            QColor tint = option.palette.color(QPalette::Highlight);
            tint.setAlphaF(0.22f);
            painter->fillRect(option.rect, tint);
        }
        const QImage image = index.data(Qt::DecorationRole).value<QImage>();
        const FaviconView favicon{image.isNull() ? std::nullopt : std::optional<QImage>(image)};
        const QRectF icon(row.left(), row.center().y() - FaviconView::kSide / 2, FaviconView::kSide, FaviconView::kSide);
        favicon.paint(*painter, icon, secondary(option.palette));

        const double textLeft = icon.right() + 8;
        const double width = std::max(0.0, row.right() - textLeft);
        const QFont titleFont = sidebar::sizedFont(option.font, kTitlePixels);
        const QFont captionFont = sidebar::sizedFont(option.font, kCaptionPixels);
        const QString host = index.data(PaletteResultModel::HostRole).toString();
        const double titleHeight = QFontMetricsF(titleFont).height();
        const double captionHeight = host.isEmpty() ? 0 : QFontMetricsF(captionFont).height() + 1;
        double y = row.center().y() - (titleHeight + captionHeight) / 2;
        painter->setFont(titleFont);
        painter->setPen(option.palette.color(QPalette::WindowText));
        painter->drawText(QRectF(textLeft, y, width, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetricsF(titleFont).elidedText(index.data().toString(), Qt::ElideRight, width));
        if (!host.isEmpty()) {
            y += titleHeight + 1;
            painter->setFont(captionFont);
            painter->setPen(secondary(option.palette));
            painter->drawText(QRectF(textLeft, y, width, captionHeight - 1), Qt::AlignLeft | Qt::AlignVCenter,
                              QFontMetricsF(captionFont).elidedText(host, Qt::ElideRight, width));
        }
        painter->restore();
    }
};

// The glass in front of the field, in the secondary colour.
class GlassIcon : public QWidget {
public:
    explicit GlassIcon(QWidget *parent) : QWidget(parent) { setFixedSize(16, 16); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        SymbolCatalog::paint(painter, u"magnifyingglass", QRectF(rect()), secondary(palette()));
    }
};
}  // namespace

PaletteResult PaletteResult::of(const SafariTab &tab) {
    std::optional<QString> host;
    if (tab.url && !tab.url->host().isEmpty()) host = tab.url->host();
    QString title = tab.title;
    if (title.isEmpty()) title = host.value_or(QStringLiteral("Untitled"));
    return {tab.id, title, host, FaviconLoader::faviconHost(tab.url)};
}

void PaletteResultModel::setResults(std::vector<SafariTab> tabs, const SharedTextMap<QImage> &favicons) {
    if (tabs == tabs_) {
        if (favicons_.isSharedWith(favicons) || favicons_ == favicons) return;
        favicons_ = favicons;
        if (!tabs_.empty()) emit dataChanged(index(0), index(int(tabs_.size()) - 1), {Qt::DecorationRole});
        return;
    }
    beginResetModel();
    tabs_ = std::move(tabs);
    favicons_ = favicons;
    results_.clear();
    results_.reserve(tabs_.size());
    for (const auto &tab : tabs_) results_.push_back(PaletteResult::of(tab));
    endResetModel();
}

void PaletteResultModel::setHighlighted(int index) {
    if (index == highlighted_) return;
    const int previous = std::exchange(highlighted_, index);
    for (const int row : {previous, index})
        if (row >= 0 && row < rowCount()) emit dataChanged(this->index(row), this->index(row), {HighlightedRole});
}

std::optional<SafariTab> PaletteResultModel::tabAt(int row) const {
    if (row < 0 || row >= rowCount()) return std::nullopt;
    return tabs_[std::size_t(row)];
}

int PaletteResultModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(results_.size());
}

QVariant PaletteResultModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto &result = results_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return result.title;
    case HostRole: return result.host.value_or(QString());
    case HighlightedRole: return index.row() == highlighted_;
    case TabIDRole: return result.tabID;
    case Qt::DecorationRole:
        if (result.faviconHost) {
            if (const auto *image = favicons_.find(*result.faviconHost)) return *image;
        }
        return {};
    default: return {};
    }
}

CommandPaletteView::CommandPaletteView(TabStore &store, std::function<void()> onDismiss, QWidget *parent)
    : QWidget(parent), store_(store), onDismiss_(std::move(onDismiss)), model_(this) {
    setObjectName(QStringLiteral("commandPalette"));
    setFixedSize(kSize);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(12, 12, 12, 12);
    searchRow->setSpacing(8);
    searchRow->addWidget(new GlassIcon(this));
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("paletteField"));
    field_->setFrame(false);
    field_->setPlaceholderText(tr("Search open tabs"));
    field_->setAccessibleName(tr("Search open tabs"));
    field_->setFont(sidebar::sizedFont(field_->font(), 16));
    QPalette plain = field_->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(plain);
    field_->installEventFilter(this);
    searchRow->addWidget(field_, 1);
    column->addLayout(searchRow);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    column->addWidget(divider);

    area_ = new QStackedWidget(this);
    // A pasted address may be longer than the palette is wide: it breaks over lines.
    placeholder_ = new WrappingLabel(area_);
    placeholder_->setAlignment(Qt::AlignCenter);
    placeholder_->setContentsMargins(24, 0, 24, 0);
    QPalette muted = placeholder_->palette();
    muted.setColor(QPalette::WindowText, secondary(muted));
    placeholder_->setPalette(muted);
    list_ = new QListView(area_);
    list_->setObjectName(QStringLiteral("paletteResults"));
    list_->setAccessibleName(tr("Open tabs"));
    list_->setModel(&model_);
    list_->setItemDelegate(new PaletteResultDelegate(list_));
    list_->setUniformItemSizes(true);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The field keeps the keyboard; the list is for the pointer and the eye.
    list_->setFocusPolicy(Qt::NoFocus);
    area_->addWidget(placeholder_);
    area_->addWidget(list_);
    column->addWidget(area_, 1);

    connect(field_, &QLineEdit::textEdited, this, [this](const QString &text) { store_.setSearchQuery(text); });
    connect(list_, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (auto tab = model_.tabAt(index.row())) activate(std::move(tab));
    });
    for (auto signal : {&TabStore::searchQueryChanged, &TabStore::windowsChanged, &TabStore::recordsChanged,
                        &TabStore::groupsChanged, &TabStore::faviconsChanged})
        connect(&store_, signal, this, &CommandPaletteView::refresh);
    connect(&store_, &TabStore::searchSelectedIndexChanged, this, &CommandPaletteView::highlightChanged);
    refresh();
}

QString CommandPaletteView::emptyQueryText() { return tr("Type to search the tabs you have open."); }

QString CommandPaletteView::noMatchText(const QString &query) {
    return QStringLiteral("No open tab matches “") + query + QStringLiteral("”");
}

QString CommandPaletteView::placeholderText() const { return showsResults() ? QString() : placeholder_->text(); }

bool CommandPaletteView::showsResults() const { return area_->currentWidget() == list_; }

void CommandPaletteView::refresh() {
    // The shell keeps the palette after it closes; matching every tab again on each keystroke
    // in the sidebar's field would be work for nobody. Showing catches up.
    if (!isVisible()) return;
    const QString &query = store_.searchQuery();
    if (field_->text() != query) field_->setText(query);
    model_.setResults(store_.searchResults(), store_.favicons());
    model_.setHighlighted(store_.searchSelectedIndex());
    if (query.isEmpty()) {
        placeholder_->setText(emptyQueryText());
        area_->setCurrentWidget(placeholder_);
    } else if (model_.rowCount() == 0) {
        placeholder_->setText(noMatchText(query));
        area_->setCurrentWidget(placeholder_);
    } else {
        area_->setCurrentWidget(list_);
    }
}

void CommandPaletteView::highlightChanged() {
    if (!isVisible()) return;
    const int index = store_.searchSelectedIndex();
    model_.setHighlighted(index);
    if (index >= 0 && index < model_.rowCount()) list_->scrollTo(model_.index(index), QAbstractItemView::PositionAtCenter);
}

bool CommandPaletteView::eventFilter(QObject *watched, QEvent *event) {
    if (watched != field_) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        if (searchKey(static_cast<QKeyEvent *>(event)->key())) event->accept();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const auto key = searchKey(static_cast<QKeyEvent *>(event)->key());
    if (!key) return false;
    switch (*key) {
    case SearchKey::previous: store_.moveSearchSelection(-1); break;
    case SearchKey::next: store_.moveSearchSelection(1); break;
    case SearchKey::activate: activate(std::nullopt); break;
    case SearchKey::escape:
        if (onDismiss_) onDismiss_();
        break;
    }
    return true;
}

void CommandPaletteView::activate(std::optional<SafariTab> tab) {
    startDetached(TabActivation::activateFromPalette(store_, std::move(tab), onDismiss_),
                  Logger(QStringLiteral("Sidebar")), QStringLiteral("Opening a tab from the palette"));
}

void CommandPaletteView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
    field_->setFocus(Qt::OtherFocusReason);
}

void CommandPaletteView::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    store_.setSearchQuery(QString());
}

}  // namespace ondrake
