#include "Ondrake/Settings/AdvancedSettingsView.h"

#include "Ondrake/Settings/AdvancedSettings.h"
#include "Ondrake/Settings/SettingsStyle.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Store/TabStore.h"
#include "UserDefaults.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ondrake {

namespace {

const QColor kOrange(255, 149, 0);

// The search row's rounded ground.
class SearchRow final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::Mid);
        fill.setAlphaF(0.5 * 0.35);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(path, fill);
    }
};

}  // namespace

// One tunable: title with its Reset button, dotted name, summary and the control for its kind.
class AdvancedFlagRowView final : public QWidget {
public:
    AdvancedFlagRowView(const AdvancedFlag &flag, UserDefaults &defaults, std::function<void()> changed, QWidget *parent)
        : QWidget(parent), flag_(flag), defaults_(defaults), changed_(std::move(changed)) {
        setObjectName(flag.key);
        auto *outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);
        auto *body = new QVBoxLayout;
        body->setContentsMargins(16, 12, 16, 12);
        body->setSpacing(6);
        outer->addLayout(body);
        outer->addWidget(settings_style::divider(this));

        auto *titleLine = new QHBoxLayout;
        titleLine->setSpacing(6);
        title_ = new QLabel(flag.title, this);
        title_->setObjectName(QStringLiteral("title"));
        title_->setWordWrap(true);
        reset_ = new QPushButton(AdvancedSettingsView::tr("Reset"), this);
        reset_->setObjectName(QStringLiteral("reset"));
        reset_->setFlat(true);
        reset_->setFont(settings_style::font(reset_, 10));
        QPalette accent = reset_->palette();
        accent.setColor(QPalette::ButtonText, accent.color(QPalette::Highlight));
        reset_->setPalette(accent);
        reset_->setAccessibleName(AdvancedSettingsView::tr("Reset") + QLatin1Char(' ') + flag.title);
        reset_->setFocusPolicy(Qt::StrongFocus);
        reset_->setCursor(Qt::PointingHandCursor);
        titleLine->addWidget(title_, 1, Qt::AlignTop);
        titleLine->addSpacing(8);
        titleLine->addWidget(reset_, 0, Qt::AlignTop);
        body->addLayout(titleLine);

        auto *name = new QLabel(flag.name, this);
        name->setObjectName(QStringLiteral("name"));
        name->setFont(settings_style::font(name, 10, QFont::Normal, true));
        name->setTextInteractionFlags(Qt::TextSelectableByMouse);
        settings_style::makeSecondary(name);
        body->addWidget(name);
        auto *summary = settings_style::note(flag.summary, this);
        summary->setObjectName(QStringLiteral("summary"));
        body->addWidget(summary);

        if (std::holds_alternative<AdvancedFlag::Options>(flag.kind)) buildPicker(*body);
        else buildSlider(*body);

        connect(reset_, &QPushButton::clicked, this, [this] {
            resetAdvancedFlag(flag_, defaults_);
            changed_();
        });
    }

    const AdvancedFlag &flag() const { return flag_; }
    bool isModified() const { return modified_; }

    void reload() {
        const AdvancedFlagRow row = advancedFlagRow(flag_, defaults_);
        modified_ = row.isModified;
        title_->setFont(settings_style::font(title_, 12, modified_ ? QFont::DemiBold : QFont::Normal));
        reset_->setVisible(modified_);
        reset_->setToolTip(row.resetHelp);
        reset_->setAccessibleDescription(row.resetHelp);
        if (picker_) {
            const QSignalBlocker block(picker_);
            picker_->setCurrentIndex(picker_->findData(row.selectedRawValue));
            optionSummary_->setVisible(row.optionSummary.has_value());
            optionSummary_->setText(row.optionSummary.value_or(QString()));
        }
        if (slider_) {
            const QSignalBlocker block(slider_);
            slider_->setRange(0, row.maximumTick);
            slider_->setValue(row.tick);
            value_->setText(row.valueText);
            slider_->setAccessibleDescription(row.valueText);
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        if (!modified_) return;
        QPainter painter(this);
        QColor fill = kOrange;
        fill.setAlphaF(0.06);
        painter.fillRect(rect(), fill);
    }

private:
    void buildPicker(QVBoxLayout &body) {
        auto *column = new QVBoxLayout;
        column->setSpacing(4);
        picker_ = new QComboBox(this);
        picker_->setObjectName(QStringLiteral("picker"));
        picker_->setAccessibleName(flag_.title);
        picker_->setFocusPolicy(Qt::StrongFocus);
        for (const auto &entry : advancedOptionEntries(flag_)) picker_->addItem(entry.title, entry.rawValue);
        optionSummary_ = new QLabel(this);
        optionSummary_->setObjectName(QStringLiteral("optionSummary"));
        optionSummary_->setWordWrap(true);
        optionSummary_->setFont(settings_style::font(optionSummary_, 10));
        settings_style::makeSecondary(optionSummary_);
        column->addWidget(picker_, 0, Qt::AlignLeft);
        column->addWidget(optionSummary_);
        body.addLayout(column);
        connect(picker_, &QComboBox::activated, this, [this](int index) {
            chooseAdvancedOption(flag_, picker_->itemData(index).toString(), defaults_);
            changed_();
        });
    }

    void buildSlider(QVBoxLayout &body) {
        auto *line = new QHBoxLayout;
        line->setSpacing(10);
        slider_ = new QSlider(Qt::Horizontal, this);
        slider_->setObjectName(QStringLiteral("slider"));
        slider_->setAccessibleName(flag_.title);
        slider_->setFocusPolicy(Qt::StrongFocus);
        slider_->setSingleStep(1);
        slider_->setPageStep(1);
        value_ = new QLabel(this);
        value_->setObjectName(QStringLiteral("value"));
        value_->setFont(settings_style::font(value_, 11, QFont::Normal, true));
        value_->setFixedWidth(56);
        value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(slider_, 1);
        line->addWidget(value_);
        body.addLayout(line);
        connect(slider_, &QSlider::valueChanged, this, [this](int tick) {
            setAdvancedNumberTick(flag_, tick, defaults_);
            changed_();
        });
    }

    const AdvancedFlag &flag_;
    UserDefaults &defaults_;
    std::function<void()> changed_;
    bool modified_ = false;
    QLabel *title_ = nullptr;
    QPushButton *reset_ = nullptr;
    QComboBox *picker_ = nullptr;
    QLabel *optionSummary_ = nullptr;
    QSlider *slider_ = nullptr;
    QLabel *value_ = nullptr;
};

AdvancedSettingsView::AdvancedSettingsView(TabStore &store, UserDefaults &defaults, QWidget *parent)
    : QWidget(parent), store_(store), defaults_(defaults) {
    setFixedSize(settings_style::kPaneWidth, 460);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QVBoxLayout;
    header->setContentsMargins(16, 16, 16, 16);
    header->setSpacing(8);
    auto *badge = new QHBoxLayout;
    badge->setSpacing(6);
    auto *symbol = new QLabel(this);
    symbol->setPixmap(SymbolCatalog::pixmap(u"exclamationmark.triangle.fill", QSize(14, 14), kOrange, devicePixelRatioF()));
    auto *experimental = new QLabel(tr("Experimental"), this);
    experimental->setFont(settings_style::font(experimental, 12, QFont::DemiBold));
    badge->addWidget(symbol);
    badge->addWidget(experimental);
    badge->addStretch(1);
    header->addLayout(badge);
    intro_ = settings_style::note({}, this);
    intro_->setObjectName(QStringLiteral("intro"));
    header->addWidget(intro_);

    auto *searchRow = new SearchRow(this);
    auto *searchLine = new QHBoxLayout(searchRow);
    searchLine->setContentsMargins(6, 6, 6, 6);
    searchLine->setSpacing(6);
    auto *magnifier = new QLabel(searchRow);
    magnifier->setPixmap(SymbolCatalog::pixmap(u"magnifyingglass", QSize(13, 13),
                                               palette().color(QPalette::PlaceholderText), devicePixelRatioF()));
    search_ = new QLineEdit(searchRow);
    search_->setObjectName(QStringLiteral("search"));
    search_->setPlaceholderText(tr("Search flags"));
    search_->setAccessibleName(tr("Search flags"));
    search_->setFrame(false);
    QPalette clear = search_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    search_->setPalette(clear);
    clearSearch_ = new QToolButton(searchRow);
    clearSearch_->setObjectName(QStringLiteral("clearSearch"));
    clearSearch_->setAutoRaise(true);
    clearSearch_->setIcon(SymbolCatalog::icon(u"xmark.circle.fill", palette().color(QPalette::PlaceholderText)));
    clearSearch_->setToolTip(tr("Clear search"));
    clearSearch_->setAccessibleName(tr("Clear search"));
    clearSearch_->setFocusPolicy(Qt::StrongFocus);
    searchLine->addWidget(magnifier);
    searchLine->addWidget(search_, 1);
    searchLine->addWidget(clearSearch_);
    header->addWidget(searchRow);
    layout->addLayout(header);
    layout->addWidget(settings_style::divider(this));

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *list = new QWidget(scroll);
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    noMatch_ = new QLabel(list);
    noMatch_->setObjectName(QStringLiteral("noMatch"));
    noMatch_->setWordWrap(true);
    noMatch_->setAlignment(Qt::AlignCenter);
    noMatch_->setFont(settings_style::font(noMatch_, 11));
    noMatch_->setContentsMargins(0, 40, 0, 40);
    settings_style::makeSecondary(noMatch_);
    listLayout->addWidget(noMatch_);
    for (const AdvancedFlag &flag : AdvancedFlag::all()) {
        auto *row = new AdvancedFlagRowView(flag, defaults_, [this] { reload(); }, list);
        rows_.push_back(row);
        listLayout->addWidget(row);
    }
    listLayout->addStretch(1);
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);
    layout->addWidget(settings_style::divider(this));

    auto *footer = new QHBoxLayout;
    footer->setContentsMargins(16, 10, 16, 10);
    footer_ = new QLabel(this);
    footer_->setObjectName(QStringLiteral("footer"));
    footer_->setFont(settings_style::font(footer_, 10));
    settings_style::makeSecondary(footer_);
    resetAll_ = new QPushButton(tr("Reset All"), this);
    resetAll_->setObjectName(QStringLiteral("resetAll"));
    resetAll_->setAccessibleName(resetAll_->text());
    resetAll_->setFont(settings_style::font(resetAll_, 11));
    resetAll_->setFocusPolicy(Qt::StrongFocus);
    footer->addWidget(footer_, 1);
    footer->addWidget(resetAll_);
    layout->addLayout(footer);

    connect(search_, &QLineEdit::textChanged, this, &AdvancedSettingsView::reload);
    connect(clearSearch_, &QToolButton::clicked, this, [this] {
        search_->clear();
        search_->setFocus();
    });
    connect(resetAll_, &QPushButton::clicked, this, [this] {
        resetAllAdvancedFlags(defaults_);
        reload();
    });
    connect(&store_, &TabStore::flagsVersionChanged, this, &AdvancedSettingsView::reload);
    connect(&defaults_, &UserDefaults::didChange, this, &AdvancedSettingsView::reload);
    reload();
}

AdvancedSettingsView::~AdvancedSettingsView() = default;

void AdvancedSettingsView::reload() {
    intro_->setText(advancedIntroText(store_.flags().isEnabled(FeatureFlag::immersiveMode())));
    const QString query = search_->text();
    clearSearch_->setVisible(!query.isEmpty());
    const auto listed = listedAdvancedFlags(query);
    for (auto *row : rows_) {
        row->reload();
        row->setVisible(std::find(listed.begin(), listed.end(), &row->flag()) != listed.end());
    }
    noMatch_->setVisible(listed.empty());
    noMatch_->setText(advancedNoMatchText(query));
    const int modified = modifiedAdvancedFlagCount(defaults_);
    footer_->setText(advancedFooterText(modified, int(AdvancedFlag::all().size())));
    resetAll_->setEnabled(modified > 0);
}

void AdvancedSettingsView::showEvent(QShowEvent *event) {
    reload();
    QWidget::showEvent(event);
}

}  // namespace ondrake
