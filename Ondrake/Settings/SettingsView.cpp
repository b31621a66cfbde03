#include "Ondrake/Settings/SettingsView.h"

#include "Ondrake/Settings/AdvancedSettingsView.h"
#include "Ondrake/Settings/AppearanceSettingsView.h"
#include "Ondrake/Settings/FeatureFlagsSettingsView.h"
#include "Ondrake/Settings/SettingsStyle.h"
#include "Ondrake/Settings/UpdateSettings.h"
#include "Ondrake/Settings/UpdateSettingsView.h"

#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace ondrake {

SettingsView::SettingsView(TabStore &store, UpdateController &updates, UserDefaults &defaults,
                           SettingsPanelGeometry geometry, QWidget *parent)
    : QTabWidget(parent) {
    setObjectName(QStringLiteral("settings"));
    setDocumentMode(true);
    // Four labelled tabs fit across a pane's width.
    setIconSize(QSize(12, 12));
    tabBar()->setFont(settings_style::font(this, 11));
    const QColor symbolColor = palette().color(QPalette::WindowText);
    const auto add = [&](QWidget *pane, const char *symbol, const QString &label, const QString &name) {
        pane->setObjectName(name);
        addTab(pane, SymbolCatalog::icon(QString::fromLatin1(symbol), symbolColor), label);
    };
    add(new FeatureFlagsSettingsView(store), "flag", tr("Features"), QStringLiteral("features"));
    add(new AppearanceSettingsView(store, defaults, std::move(geometry)), "paintbrush", tr("Appearance"),
        QStringLiteral("appearance"));
    add(new UpdateSettingsView(updates, applicationInfoDictionary()), "arrow.down.circle", tr("Updates"),
        QStringLiteral("updates"));
    add(new AdvancedSettingsView(store, defaults), "gearshape.2", tr("Advanced"), QStringLiteral("advanced"));
    setCurrentIndex(0);
    connect(this, &QTabWidget::currentChanged, this, &SettingsView::fitToCurrentPane);
    fitToCurrentPane();
}

QSize SettingsView::sizeHint() const {
    // The tab widget's own hint is that of its largest pane; this one follows the pane shown.
    const QWidget *pane = currentWidget();
    if (!pane) return QTabWidget::sizeHint();
    QSize content = pane->sizeHint().expandedTo(pane->minimumSize()).boundedTo(pane->maximumSize());
    // Wrapped notes need the height they take at the pane's fixed width.
    if (pane->hasHeightForWidth())
        content.setHeight(std::clamp(pane->heightForWidth(content.width()), pane->minimumHeight(), pane->maximumHeight()));
    const QSize tabs = tabBar()->sizeHint();
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    const QSize inner(std::max(content.width(), tabs.width()), content.height() + tabs.height());
    return style()->sizeFromContents(QStyle::CT_TabWidget, &option, inner, this);
}

QSize SettingsView::minimumSizeHint() const { return sizeHint(); }

void SettingsView::fitToCurrentPane() {
    updateGeometry();
    if (isWindow()) adjustSize();
}

}  // namespace ondrake
