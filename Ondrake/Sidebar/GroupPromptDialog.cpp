#include "Ondrake/Sidebar/GroupPromptDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondrake {

GroupPromptDialog::GroupPromptDialog(GroupPrompt prompt, const QString &text, OnTextChanged onTextChanged,
                                     OnConfirm onConfirm, QWidget *parent)
    : QDialog(parent), prompt_(std::move(prompt)), onConfirm_(std::move(onConfirm)) {
    setObjectName(QStringLiteral("groupPrompt"));
    setWindowTitle(tr("Tab Group"));
    setWindowModality(Qt::WindowModal);

    auto *column = new QVBoxLayout(this);
    column->setSpacing(10);
    auto *title = new QLabel(tr("Tab Group"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    column->addWidget(title);

    message_ = new QLabel(prompt_.message(), this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    column->addWidget(message_);

    name_ = new QLineEdit(text, this);
    name_->setPlaceholderText(tr("Name"));
    name_->setAccessibleName(tr("Name"));
    column->addWidget(name_);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(tr("Cancel"), this);
    confirm_ = new QPushButton(prompt_.confirmTitle(), this);
    confirm_->setDefault(true);
    buttons->addWidget(cancel_);
    buttons->addWidget(confirm_);
    column->addLayout(buttons);

    const auto follow = [this, onTextChanged = std::move(onTextChanged)](const QString &name) {
        confirm_->setEnabled(GroupPrompt::canConfirm(name));
        if (onTextChanged) onTextChanged(name);
    };
    connect(name_, &QLineEdit::textChanged, this, follow);
    confirm_->setEnabled(GroupPrompt::canConfirm(text));
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(confirm_, &QPushButton::clicked, this, &GroupPromptDialog::confirm);
    name_->setFocus();
}

QString GroupPromptDialog::messageText() const { return message_->text(); }

void GroupPromptDialog::confirm() {
    // Return in the field reaches the default button even while it is disabled.
    if (!GroupPrompt::canConfirm(name_->text())) return;
    if (onConfirm_) onConfirm_(prompt_);
    accept();
}

}  // namespace ondrake
