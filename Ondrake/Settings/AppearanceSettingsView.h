#pragma once

#include "Ondrake/Settings/SettingsPanelGeometry.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace ondrake {

class TabStore;
class UserDefaults;

// The sidebar's theme, the panel's corner radius, the favicon-only rail with its width, and
// whether the browser's window grows into the room the rail frees. Every control writes straight
// to its owner and every value is read back from there. Controls are named "theme",
// "themeDescription", "cornerRadius", "cornerRadiusValue", "rail", "railWidth", "railWidthValue"
// and "expandSafari".
class AppearanceSettingsView final : public QWidget {
    Q_OBJECT
public:
    AppearanceSettingsView(TabStore &store, UserDefaults &defaults, SettingsPanelGeometry geometry,
                           QWidget *parent = nullptr);

    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *sliderRow(const QString &caption, const QString &name, int minimum, int maximum, QSlider *&slider,
                       QLabel *&value);

    TabStore &store_;
    UserDefaults &defaults_;
    SettingsPanelGeometry geometry_;
    QComboBox *theme_ = nullptr;
    QLabel *themeDescription_ = nullptr;
    QSlider *cornerRadius_ = nullptr;
    QLabel *cornerRadiusValue_ = nullptr;
    QCheckBox *rail_ = nullptr;
    QSlider *railWidth_ = nullptr;
    QLabel *railWidthValue_ = nullptr;
    QCheckBox *expandSafari_ = nullptr;
};

}  // namespace ondrake
