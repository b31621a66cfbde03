#pragma once

#include "Ondrake/Model/FeatureFlags.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QLabel;

namespace ondrake {

class TabStore;

// One switch per feature. A feature forced by the environment shows its forced state, cannot be
// switched and says why. Each switch is named after its flag's key, its text after the key
// followed by ".description".
class FeatureFlagsSettingsView final : public QWidget {
    Q_OBJECT
public:
    explicit FeatureFlagsSettingsView(TabStore &store, QWidget *parent = nullptr);

    // Reads every shown value back from the flags.
    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Entry {
        FeatureFlag flag;
        QCheckBox *toggle;
        QLabel *description;
    };

    TabStore &store_;
    std::vector<Entry> entries_;
};

}  // namespace ondrake
