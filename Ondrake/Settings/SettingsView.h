#pragma once

#include "Ondrake/Settings/SettingsPanelGeometry.h"

#include <QTabWidget>

namespace ondrake {

class TabStore;
class UpdateController;
class UserDefaults;

// The settings window's content: Features, Appearance, Updates and Advanced, each pane writing
// straight to the owner of what it shows. 380 px wide; the height follows the pane shown, so a
// window that fixes its size to this one's hint grows and shrinks with the tabs.
class SettingsView final : public QTabWidget {
    Q_OBJECT
public:
    // `defaults`: the standard user defaults. Everything given must outlive the view.
    SettingsView(TabStore &store, UpdateController &updates, UserDefaults &defaults, SettingsPanelGeometry geometry,
                 QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The tab widget would answer for its tallest pane; the hint already fits the pane shown.
    bool hasHeightForWidth() const override { return false; }

private:
    void fitToCurrentPane();
};

}  // namespace ondrake
