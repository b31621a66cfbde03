#pragma once

#include "Paths.h"

#include <QTemporaryDir>

namespace ondrake::test {

// A fresh folder tree, removed with this object. Benchmarks use it too, so it reports a failed
// folder rather than asserting on it.
class TemporaryFolder {
public:
    TemporaryFolder() : paths_(Paths::under(dir_.path())) {}
    bool isValid() const { return dir_.isValid(); }
    const Paths &paths() const { return paths_; }
    QString root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    Paths paths_;
};

}  // namespace ondrake::test
