#include "Qt/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace ondrake {

namespace {
QString filterFor(const QString &suffix) {
    return suffix.isEmpty() ? QString() : QStringLiteral("%1 (*.%2)").arg(suffix.toUpper(), suffix);
}
}  // namespace

QtDialogs::QtDialogs(QString homeFolder) : homeFolder_(std::move(homeFolder)) {}

QString QtDialogs::startFolder() const {
    // A folder removed since it was chosen is no place to start.
    return !lastFolder_.isEmpty() && QFileInfo(lastFolder_).isDir() ? lastFolder_ : homeFolder_;
}

std::optional<QString> QtDialogs::chosen(const QStringList &files) {
    if (files.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(files.constFirst()).absolutePath();
    return files.constFirst();
}

std::optional<QString> QtDialogs::runSavePanel(const SavePanel &panel) {
    QFileDialog dialog(nullptr, panel.message, startFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filterFor(panel.allowedSuffix));
    dialog.setDefaultSuffix(panel.allowedSuffix);
    dialog.selectFile(panel.proposedFileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return chosen(dialog.selectedFiles());
}

std::optional<QString> QtDialogs::runOpenPanel(const OpenPanel &panel) {
    QFileDialog dialog(nullptr, panel.message, startFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilter(filterFor(panel.allowedSuffix));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return chosen(dialog.selectedFiles());
}

int QtDialogs::runAlert(const Alert &alert) {
    QMessageBox box(alert.style == AlertStyle::warning ? QMessageBox::Warning : QMessageBox::Information, QString(),
                    alert.message);
    box.setInformativeText(alert.informativeText);
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    std::vector<QAbstractButton *> buttons;
    for (const auto &title : titles) buttons.push_back(box.addButton(title, QMessageBox::AcceptRole));
    box.setDefaultButton(static_cast<QPushButton *>(buttons.front()));
    // Escape answers "Cancel" where there is one; among buttons of one role Qt would pick none.
    if (const auto cancel = titles.indexOf(QStringLiteral("Cancel")); cancel >= 0) box.setEscapeButton(buttons[cancel]);
    box.exec();
    const auto it = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return it == buttons.end() ? -1 : int(it - buttons.begin());
}

}  // namespace ondrake
