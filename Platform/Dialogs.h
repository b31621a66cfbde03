#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrake {

// The modal panels and alerts the application asks the user through. Each call blocks until the
// user has answered. Main thread.
class Dialogs {
public:
    struct SavePanel {
        QString allowedSuffix;  // without the dot, e.g. "json"
        QString proposedFileName;
        QString message;
        bool operator==(const SavePanel &) const = default;
    };
    struct OpenPanel {
        QString allowedSuffix;
        bool allowsMultipleSelection = false;
        QString message;
        bool operator==(const OpenPanel &) const = default;
    };
    enum class AlertStyle { warning, informational };
    struct Alert {
        AlertStyle style = AlertStyle::warning;
        QString message;
        QString informativeText;
        QStringList buttons;  // first is the default; empty: one "OK"
        bool operator==(const Alert &) const = default;
    };

    virtual ~Dialogs() = default;

    // The chosen file's path; nothing when cancelled.
    virtual std::optional<QString> runSavePanel(const SavePanel &panel) = 0;
    virtual std::optional<QString> runOpenPanel(const OpenPanel &panel) = 0;
    // The index of the button chosen; -1 when the alert was dismissed otherwise.
    virtual int runAlert(const Alert &alert) = 0;
};

}  // namespace ondrake
