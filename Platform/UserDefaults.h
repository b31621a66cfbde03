#pragma once

#include "Paths.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace ondrake {

inline constexpr const char *kStandardDefaultsDomain = "com.ondrake.Ondrake";

// One domain of user defaults: keys holding a bool, integer, double, string, data, array or
// dictionary. The readers convert as the platform's did: absent answers false or 0, numbers read
// as text give their decimal form, numeric text reads as a number.
//
// A persistent domain is kept as "<domain>.json" in the preferences folder. Changes are visible at
// once; the file is rewritten whole once for a burst of them, at the next turn of the owner's
// event loop, at `synchronize`, at quit, or when the object goes. A file that cannot be read is
// moved aside, never overwritten.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // Kept in memory only.
    explicit UserDefaults(QString domain = QString::fromLatin1(kStandardDefaultsDomain), QObject *parent = nullptr);
    // Backed by a file under `paths.preferences`.
    UserDefaults(const Paths &paths, QString domain, QObject *parent = nullptr);
    ~UserDefaults() override;

    const QString &domain() const { return domain_; }
    QString filePath() const { return filePath_; }

    std::optional<QVariant> objectForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    std::optional<QString> stringForKey(const QString &key) const;
    std::optional<QByteArray> dataForKey(const QString &key) const;
    std::optional<QVariantList> arrayForKey(const QString &key) const;
    std::optional<QVariantMap> dictionaryForKey(const QString &key) const;
    QVariantMap dictionaryRepresentation() const;

    // `value` must be a bool, integer, double, string, byte array, date, list or map of those.
    void setObject(const QString &key, const QVariant &value);
    void setBool(const QString &key, bool value) { setObject(key, value); }
    void setInteger(const QString &key, qint64 value) { setObject(key, value); }
    void setDouble(const QString &key, double value) { setObject(key, value); }
    void setString(const QString &key, const QString &value) { setObject(key, value); }
    void setData(const QString &key, const QByteArray &value) { setObject(key, value); }
    void removeObject(const QString &key);

    // Writes changes that are still waiting for the event loop now.
    void synchronize();

signals:
    // Emitted on this object's thread after any change.
    void didChange();

private:
    void load();
    void changed();
    void scheduleWrite();
    void persist(const QVariantMap &snapshot);

    QString domain_;
    QString filePath_;   // empty: memory only
    bool writable_ = true;  // false after an unreadable file could not be moved aside
    bool writeScheduled_ = false;
    mutable QMutex mutex_;
    QVariantMap values_;
};

}  // namespace ondrake
