#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace ondrake {

class AdvancedFlagRowView;
class TabStore;
class UserDefaults;

// Every tunable, found by a word search, changed with a control that suits its kind, marked when it
// differs from its default, and put back one by one or all at once. Writes go to the user
// defaults only, and a value equal to the default is removed instead of stored. Each row is named
// after its flag's key and holds "title", "reset", "name", "summary" and either "picker" and
// "optionSummary" or "slider" and "value"; the pane's own controls are "search", "clearSearch",
// "intro", "noMatch", "footer" and "resetAll".
class AdvancedSettingsView final : public QWidget {
    Q_OBJECT
public:
    AdvancedSettingsView(TabStore &store, UserDefaults &defaults, QWidget *parent = nullptr);
    ~AdvancedSettingsView() override;

    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    TabStore &store_;
    UserDefaults &defaults_;
    QLabel *intro_ = nullptr;
    QLineEdit *search_ = nullptr;
    QToolButton *clearSearch_ = nullptr;
    QLabel *noMatch_ = nullptr;
    QLabel *footer_ = nullptr;
    QPushButton *resetAll_ = nullptr;
    std::vector<AdvancedFlagRowView *> rows_;
};

}  // namespace ondrake
