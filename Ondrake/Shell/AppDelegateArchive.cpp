#include "AppDelegate.h"

#include "AtomicFile.h"

#include <QFile>
#include <QRegularExpression>

namespace ondrake {

namespace {

// The locale's long date without the weekday and with the month abbreviated: "Dec 8, 2026",
// "8 Dec 2026".
QString mediumDateFormat(const QLocale &locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

}  // namespace

QString AppDelegate::importedGroupName(const QDate &date, const QLocale &locale) {
    return QStringLiteral("Imported ") + locale.toString(date, mediumDateFormat(locale));
}

void AppDelegate::runExportPanel(const TabStore::ExportScope &scope) {
    const auto path = platform_.dialogs.runSavePanel(
        {QStringLiteral("json"), QStringLiteral("Ondrake Export.json"), QStringLiteral("Export portable Ondrake tab data")});
    if (!path || path->isEmpty()) return;
    FileResult written = FileResult::failure(QString());
    try {
        written = AtomicFile::write(*path, store_->exportArchive(scope).encode());
    } catch (const std::exception &error) {
        written = FileResult::failure(QString::fromUtf8(error.what()));
    }
    if (written) return;
    platform_.dialogs.runAlert({Dialogs::AlertStyle::warning, QStringLiteral("Couldn’t export Ondrake data: ") + written.error,
                                QString(), {}});
}

void AppDelegate::importArchive() {
    const auto path = platform_.dialogs.runOpenPanel(
        {QStringLiteral("json"), false, QStringLiteral("Choose an Ondrake JSON export")});
    if (!path || path->isEmpty()) return;
    std::optional<OndrakeArchive> archive;
    QFile file(*path);
    if (file.open(QIODevice::ReadOnly)) {
        try {
            archive = OndrakeArchive::read(file.readAll(), platform_.scheduler.wallNow());
        } catch (const std::exception &) {
        }
    }
    if (!archive) {
        platform_.dialogs.runAlert(
            {Dialogs::AlertStyle::warning, QStringLiteral("This isn’t a supported Ondrake export."), QString(), {}});
        return;
    }
    const int answer = platform_.dialogs.runAlert(
        {Dialogs::AlertStyle::informational, QStringLiteral("Import Ondrake data"),
         QStringLiteral("Choose how the %1 imported tab(s) should be applied.").arg(archive->tabs.size()),
         {QStringLiteral("Merge"), QStringLiteral("Open as New Group"), QStringLiteral("Restore Complete Structure"),
          QStringLiteral("Cancel")}});
    std::optional<OndrakeArchive::ImportMode> mode;
    switch (answer) {
    case 0: mode = OndrakeArchive::ImportMode::merge(); break;
    case 1:
        mode = OndrakeArchive::ImportMode::openAsNewGroup(
            importedGroupName(platform_.scheduler.wallNow().toLocalTime().date(), QLocale()));
        break;
    case 2: mode = OndrakeArchive::ImportMode::restoreCompleteStructure(); break;
    default: return;
    }
    startTask(store_->importArchive(std::move(*archive), *mode), QStringLiteral("Import"));
}

}  // namespace ondrake
