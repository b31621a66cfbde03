#pragma once

#include "Dialogs.h"

#include <deque>
#include <variant>
#include <vector>

namespace ondrake {

// Dialogs answered from a script the test wrote beforehand. Every request is recorded; a
// request with no answer left is cancelled (panels) or dismissed (alerts).
class ScriptedDialogs final : public Dialogs {
public:
    using Request = std::variant<SavePanel, OpenPanel, Alert>;

    std::optional<QString> runSavePanel(const SavePanel &panel) override;
    std::optional<QString> runOpenPanel(const OpenPanel &panel) override;
    int runAlert(const Alert &alert) override;

    // Answers of the next panels, in order; nothing cancels.
    void answerPanel(std::optional<QString> path) { panelAnswers_.push_back({!path, path.value_or(QString())}); }
    // The button index of the next alert.
    void answerAlert(int button) { alertAnswers_.push_back(button); }

    const std::vector<Request> &requests() const { return requests_; }
    std::vector<Alert> alerts() const;

private:
    std::optional<QString> nextPanelAnswer();

    struct PanelAnswer {
        bool cancelled = true;
        QString path;
    };
    std::deque<PanelAnswer> panelAnswers_;
    std::deque<int> alertAnswers_;
    std::vector<Request> requests_;
};

}  // namespace ondrake
