#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <QVariantMap>

#include <optional>

namespace ondrake {

class Updater;

QString automaticChecksNote(bool checksAutomatically);
QString backgroundDownloadNote();
// "Never checked", or "Last checked " and the date, abbreviated, with the time, shortened.
QString lastCheckText(const std::optional<QDateTime> &lastCheck, const QLocale &locale = QLocale(),
                      const QTimeZone &zone = QTimeZone::systemTimeZone());
// The short version and, in parentheses, the build; an em dash for each that is missing or no text.
QString versionText(const std::optional<QVariantMap> &info);
QString feedText(const std::optional<QUrl> &feed);
// Asks the updater itself whether it can check at this moment, and only then checks. Answers
// whether a check was started.
bool checkForUpdatesNow(Updater &updater);
// This build's information dictionary: its short version; there is no separate build number.
std::optional<QVariantMap> applicationInfoDictionary();

}  // namespace ondrake
