#pragma once

#include "ManualScheduler.h"
#include "SafariWebExtensionHandler.h"
#include "Shared/ExtensionState.h"
#include "SimulatedNamedNotifier.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

namespace ondrake::test {

// A handler writing under a temporary home at a fixed moment, with the simulated notification centre.
struct ExtensionTestWorld {
    static inline const QDateTime kNow = QDateTime::fromString(QStringLiteral("2026-01-01T00:00:00.500Z"), Qt::ISODateWithMs);

    TemporaryPaths tmp;
    ManualScheduler scheduler;
    SimulatedNamedNotifier notifier{scheduler};
    SafariWebExtensionHandler handler{tmp.paths().home, notifier, [] { return kNow; }};

    QString folder() const { return *OndrakeExtensionProtocol::exchangeDirectory(false, tmp.paths().home); }
    QString stateFile() const { return QDir(folder()).filePath(OndrakeExtensionProtocol::stateFileName); }
    bool fileExists() const { return QFile::exists(stateFile()); }
    QByteArray fileBytes() const {
        QFile file(stateFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::optional<ExtensionState> written() const { return ExtensionState::decode(fileBytes()); }
    qsizetype posts() const { return notifier.posted().size(); }
};

}  // namespace ondrake::test
