#pragma once

#include <QString>

namespace ondrake {

// An exclusive lock on a file, held while this object holds it. The system lets go of it when
// the process ends however it ends, so a crash leaves nothing to clear away. Two objects exclude
// each other even within one process. The file itself is made when missing and left empty.
class ProcessLock {
public:
    enum class Attempt { taken, heldElsewhere, unusable };

    explicit ProcessLock(QString path) : path_(std::move(path)) {}
    ~ProcessLock() { release(); }
    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

    // Once, without waiting; `taken` when already held. The folder is made when missing.
    Attempt tryTake();
    void release();
    bool isHeld() const { return fd_ >= 0; }
    const QString &path() const { return path_; }
    // The system's word for why the last attempt found the file unusable.
    QString errorString() const;

private:
    QString path_;
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace ondrake
