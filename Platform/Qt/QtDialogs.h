#pragma once

#include "Dialogs.h"

namespace ondrake {

// The panels and alerts as the desktop's own file dialogs and message boxes, run modally.
class QtDialogs final : public Dialogs {
public:
    std::optional<QString> runSavePanel(const SavePanel &panel) override;
    std::optional<QString> runOpenPanel(const OpenPanel &panel) override;
    int runAlert(const Alert &alert) override;
};

}  // namespace ondrake
