#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace ondrake {

// Turns the signals that ask the process to end into a Qt signal on the main thread, so the
// application can shut down through its normal path with its final save: SIGTERM, SIGINT (Ctrl-C)
// and SIGHUP (the terminal or the session it was started from went away). A signal the process
// was started ignoring stays ignored: whoever started it so (nohup, a shell's background job)
// meant it to outlive that. SIGQUIT keeps its core dump. SIGPIPE is ignored, so that a log
// written to a pipe nobody reads any more does not end the process before its save. One instance
// at a time; restores the previous handlers when destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void drain();
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ondrake
