#pragma once

#include <QVariantMap>
#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ondrake {

class UpdateController;

// Automatic checks and background downloads, a check at once, and what this build is and where
// it looks for updates. Values come fresh from the updater each time the pane is shown. Controls
// are named "checksAutomatically", "checksNote", "downloadsAutomatically", "checkNow", "lastCheck",
// "version" and "feed".
class UpdateSettingsView final : public QWidget {
    Q_OBJECT
public:
    // `info`: the application's information dictionary, for the version row.
    UpdateSettingsView(UpdateController &updates, std::optional<QVariantMap> info, QWidget *parent = nullptr);

    void reload();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    UpdateController &updates_;
    const std::optional<QVariantMap> info_;
    QCheckBox *checks_ = nullptr;
    QLabel *checksNote_ = nullptr;
    QCheckBox *downloads_ = nullptr;
    QPushButton *checkNow_ = nullptr;
    QLabel *lastCheck_ = nullptr;
    QLabel *version_ = nullptr;
    QLineEdit *feed_ = nullptr;
};

}  // namespace ondrake
