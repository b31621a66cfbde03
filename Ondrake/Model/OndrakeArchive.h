#pragma once

#include "Ondrake/Model/AppSettings.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Ondrake/Model/Identifiers.h"
#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Model/TabMetadataValue.h"
#include "Ondrake/Model/TabRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <exception>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace ondrake {

// The portable export file: chosen tabs with the groups, the settings and, for a whole-data
// export, the stored feature overrides.
struct OndrakeArchive {
    static inline constexpr qint64 kVersion = 1;
    static QString formatWord() { return QStringLiteral("ondrake"); }

    // One exported tab: a record's persistent fields, its place in the export and whether it was open.
    struct Tab {
        OndrakeID id{};
        std::optional<QString> url{};
        QString title{};
        std::optional<QString> faviconHost{};
        std::optional<OndrakeID> parentID{};
        std::optional<TabGroupID> groupID{};
        QDateTime createdAt{};
        std::optional<QDateTime> lastActivatedAt{};
        std::optional<QDateTime> closedAt{};
        qint64 order = 0;  // 0-based position in the exported list
        bool wasOpen = true;
        bool pinned = false;
        bool locked = false;
        bool muted = false;
        bool important = false;
        bool readLater = false;
        std::optional<QDateTime> addedToReadLaterAt{};
        std::optional<QDateTime> readAt{};
        std::optional<QDateTime> snoozeUntil{};
        std::optional<QDateTime> reminderAt{};
        TabMetadata metadata{};

        bool operator==(const Tab &) const = default;

        // The record's own values; open when the record has no closing date.
        static Tab fromRecord(const TabRecord &record, qint64 order);

        QJsonObject toJson() const;
        static Tab fromJson(const QJsonValue &value, const QDateTime &now, const QString &path = {});
    };

    // Why an archive was not read. Callers word what they show.
    class ArchiveError : public std::exception {
    public:
        enum class Kind { unsupportedVersion, malformed, unsupportedFormat, duplicateTabID, duplicateGroupID };

        static ArchiveError unsupportedVersion(qint64 version) { return {Kind::unsupportedVersion, version}; }
        static ArchiveError malformed() { return {Kind::malformed, 0}; }
        static ArchiveError unsupportedFormat() { return {Kind::unsupportedFormat, 0}; }
        static ArchiveError duplicateTabID() { return {Kind::duplicateTabID, 0}; }
        static ArchiveError duplicateGroupID() { return {Kind::duplicateGroupID, 0}; }

        Kind kind() const { return kind_; }
        qint64 version() const { return version_; }  // unsupportedVersion only
        // e.g. "unsupportedVersion(2)"
        QString description() const;
        const char *what() const noexcept override { return what_.c_str(); }
        bool operator==(const ArchiveError &other) const { return kind_ == other.kind_ && version_ == other.version_; }

    private:
        ArchiveError(Kind kind, qint64 version);
        Kind kind_;
        qint64 version_;
        std::string what_;
    };

    // How the user chose to apply an archive.
    struct ImportMode {
        enum class Kind { openAsNewGroup, merge, restoreCompleteStructure };
        Kind kind = Kind::merge;
        QString name{};  // openAsNewGroup: the group to create

        static ImportMode openAsNewGroup(QString name) { return {Kind::openAsNewGroup, std::move(name)}; }
        static ImportMode merge() { return {Kind::merge, {}}; }
        static ImportMode restoreCompleteStructure() { return {Kind::restoreCompleteStructure, {}}; }
        bool operator==(const ImportMode &) const = default;
    };

    // Fresh records and groups made from an archive; nothing of the store is touched.
    struct ImportResult {
        std::vector<TabRecord> records{};        // in import order, every one closed
        std::vector<TabGroup> groups{};
        std::vector<TabRecord> recordsToOpen{};  // those that were open at export
        std::optional<AppSettings> settings{};
        std::optional<FeatureOverrides> featureOverrides{};
        bool operator==(const ImportResult &) const = default;
    };

    QString format = formatWord();
    qint64 version = kVersion;
    QDateTime exportedAt{};
    std::vector<Tab> tabs{};
    std::vector<TabGroup> groups{};  // the exporter writes them in ascending sort index
    AppSettings settings{};
    std::optional<FeatureOverrides> featureOverrides{};

    bool operator==(const OndrakeArchive &) const = default;

    // Checks the format, then the version, then decodes and rejects repeated identities.
    // Throws ArchiveError; `now` fills a tab's missing creation date.
    static OndrakeArchive read(const QByteArray &bytes, const QDateTime &now);
    // The bytes of the export file.
    QByteArray encode() const;

    QJsonObject toJson() const;
    // Typed decoding only (no format or version checks); throws json::DecodingError.
    static OndrakeArchive fromJson(const QJsonValue &value, const QDateTime &now);

    // Throws duplicateTabID, then duplicateGroupID.
    void validate() const;

    // A copy whose parent links outside `tabIDs` and group links to groups it does not carry are
    // cleared.
    OndrakeArchive restricted(const std::unordered_set<OndrakeID> &tabIDs) const;

    // Every tab and group gets a fresh identity with the archive's links carried over; the tree
    // is made loop-free and every record closed. `importDate` closes records that have no
    // closing date; `now` dates the group that openAsNewGroup creates.
    ImportResult importedRecords(const ImportMode &mode, qint64 firstSortIndex, const QDateTime &importDate,
                                 const QDateTime &now) const;

    // Walking the records in their order, clears the one parent link that closes each loop;
    // records that only hang below a loop keep theirs. Links to unknown records stay.
    static std::vector<TabRecord> breakParentCycles(std::vector<TabRecord> records);
};

std::size_t qHash(const OndrakeArchive::Tab &tab, std::size_t seed = 0) noexcept;
std::size_t qHash(const OndrakeArchive &archive, std::size_t seed = 0) noexcept;

}  // namespace ondrake

template<>
struct std::hash<ondrake::OndrakeArchive::Tab> {
    std::size_t operator()(const ondrake::OndrakeArchive::Tab &tab) const noexcept { return qHash(tab); }
};
template<>
struct std::hash<ondrake::OndrakeArchive> {
    std::size_t operator()(const ondrake::OndrakeArchive &archive) const noexcept { return qHash(archive); }
};
