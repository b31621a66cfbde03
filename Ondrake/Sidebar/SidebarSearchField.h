#pragma once

#include "Ondrake/Sidebar/SearchKey.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLineEdit;

namespace ondrake {

class SidebarEnvironment;
class SidebarIconButton;
class TabStore;

// The header's search: edits the store's query, moves the highlighted result with the arrow
// keys, opens it with Return, and empties or closes the search with Escape and the close button.
class SidebarSearchField : public QWidget {
    Q_OBJECT
public:
    SidebarSearchField(TabStore &store, SidebarEnvironment *environment, QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return field_; }
    SidebarIconButton *closeButton() const { return close_; }
    bool isFieldFocused() const { return focused_; }
    void focusField();

signals:
    void fieldFocusChanged(bool focused);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void handle(SearchKey key);
    void showQuery();
    void applyTheme();
    void setFocused(bool focused);

    TabStore &store_;
    QPointer<SidebarEnvironment> environment_;
    QLineEdit *field_;
    SidebarIconButton *close_;
    bool focused_ = false;
};

}  // namespace ondrake
