#include "ScriptedDialogs.h"

namespace ondrake {

std::optional<QString> ScriptedDialogs::nextPanelAnswer() {
    if (panelAnswers_.empty()) return std::nullopt;
    const PanelAnswer answer = panelAnswers_.front();
    panelAnswers_.pop_front();
    if (answer.cancelled) return std::nullopt;
    return answer.path;
}

std::optional<QString> ScriptedDialogs::runSavePanel(const SavePanel &panel) {
    requests_.emplace_back(panel);
    return nextPanelAnswer();
}

std::optional<QString> ScriptedDialogs::runOpenPanel(const OpenPanel &panel) {
    requests_.emplace_back(panel);
    return nextPanelAnswer();
}

int ScriptedDialogs::runAlert(const Alert &alert) {
    requests_.emplace_back(alert);
    if (alertAnswers_.empty()) return -1;
    const int answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
}

std::vector<Dialogs::Alert> ScriptedDialogs::alerts() const {
    std::vector<Alert> out;
    for (const auto &request : requests_)
        if (const auto *alert = std::get_if<Alert>(&request)) out.push_back(*alert);
    return out;
}

}  // namespace ondrake
