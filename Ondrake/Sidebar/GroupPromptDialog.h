#pragma once

#include "Ondrake/Sidebar/GroupPrompt.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ondrake {

// The "Tab Group" prompt as a window-modal dialog: the message, a name field and Cancel beside
// Create or Rename. Confirming is possible only with a name that is not blank.
class GroupPromptDialog : public QDialog {
    Q_OBJECT
public:
    using OnTextChanged = std::function<void(const QString &)>;
    using OnConfirm = std::function<void(const GroupPrompt &)>;

    GroupPromptDialog(GroupPrompt prompt, const QString &text, OnTextChanged onTextChanged, OnConfirm onConfirm,
                      QWidget *parent = nullptr);

    const GroupPrompt &prompt() const { return prompt_; }
    QLineEdit *nameField() const { return name_; }
    QPushButton *confirmButton() const { return confirm_; }
    QPushButton *cancelButton() const { return cancel_; }
    QString messageText() const;

private:
    void confirm();

    GroupPrompt prompt_;
    OnConfirm onConfirm_;
    QLabel *message_;
    QLineEdit *name_;
    QPushButton *cancel_;
    QPushButton *confirm_;
};

}  // namespace ondrake
