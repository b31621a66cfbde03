#pragma once

#include "Dialogs.h"

#include <QDir>

namespace ondrake {

// The panels and alerts as the desktop's own file dialogs and message boxes, run modally. A panel
// opens in the folder of the file last chosen in one, or else in the user's home folder, never in
// the folder the program happened to start in.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QString homeFolder = QDir::homePath());

    std::optional<QString> runSavePanel(const SavePanel &panel) override;
    std::optional<QString> runOpenPanel(const OpenPanel &panel) override;
    int runAlert(const Alert &alert) override;

    // Where the next panel opens.
    QString startFolder() const;

private:
    std::optional<QString> chosen(const QStringList &files);

    const QString homeFolder_;
    QString lastFolder_;
};

}  // namespace ondrake
