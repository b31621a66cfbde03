#include "Ondrake/Settings/UpdateSettings.h"

#include "Updater.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace ondrake {

namespace {

// The locale's long date without the weekday and with the month's short name.
QString abbreviatedDateFormat(const QLocale &locale) {
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

// Hours and minutes only, in the locale's order and separators.
QString shortenedTimeFormat(const QLocale &locale) {
    static const QRegularExpression seconds(QStringLiteral("[:.]ss"));
    return locale.timeFormat(QLocale::ShortFormat).remove(seconds);
}

QString infoText(const QVariantMap &info, const QString &key) {
    const auto it = info.constFind(key);
    if (it == info.cend() || it->typeId() != QMetaType::QString) return QStringLiteral("—");
    return it->toString();
}

}  // namespace

QString automaticChecksNote(bool checksAutomatically) {
    if (checksAutomatically)
        return QStringLiteral(
            "Ondrake checks the update feed about once a day. Nothing about your machine, your tabs or your browsing "
            "is sent.");
    return QStringLiteral(
        "Ondrake will not contact the update feed on its own. Use Check Now, or the Ondrake menu in the system tray, "
        "to look for an update by hand.");
}

QString backgroundDownloadNote() {
    return QStringLiteral(
        "Fetches the update before asking, so installing is immediate. You are still asked before anything is "
        "replaced.");
}

QString lastCheckText(const std::optional<QDateTime> &lastCheck, const QLocale &locale, const QTimeZone &zone) {
    if (!lastCheck || !lastCheck->isValid()) return QStringLiteral("Never checked");
    const QDateTime local = lastCheck->toTimeZone(zone);
    return QStringLiteral("Last checked ") + locale.toString(local.date(), abbreviatedDateFormat(locale))
           + QLatin1Char(' ') + locale.toString(local.time(), shortenedTimeFormat(locale));
}

QString versionText(const std::optional<QVariantMap> &info) {
    const QVariantMap map = info.value_or(QVariantMap{});
    return infoText(map, QStringLiteral("CFBundleShortVersionString")) + QStringLiteral(" (")
           + infoText(map, QStringLiteral("CFBundleVersion")) + QStringLiteral(")");
}

QString feedText(const std::optional<QUrl> &feed) {
    if (!feed) return QStringLiteral("None — this build cannot update");
    return feed->toString(QUrl::FullyEncoded);
}

bool checkForUpdatesNow(Updater &updater) {
    if (!updater.canCheckForUpdates()) return false;
    updater.checkForUpdates();
    return true;
}

std::optional<QVariantMap> applicationInfoDictionary() {
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty()) version = QStringLiteral(ONDRAKE_VERSION);
    return QVariantMap{{QStringLiteral("CFBundleShortVersionString"), version}};
}

}  // namespace ondrake
