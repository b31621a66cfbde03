#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace ondrake {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so the application can shut
// down through its normal path. One instance at a time; restores the previous handlers when
// destroyed.
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
