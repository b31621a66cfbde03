#include "UserDefaults.h"

#include "AtomicFile.h"
#include "FoundationJson.h"
#include "Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cmath>

namespace ondrake {

namespace {

const QString kDataTag = QStringLiteral("$data");
const QString kDateTag = QStringLiteral("$date");

const Logger &defaultsLog() {
    static const Logger log(QStringLiteral("Defaults"));
    return log;
}

QJsonValue toJson(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: return value.toDouble();
    case QMetaType::QString: return value.toString();
    case QMetaType::QByteArray: return QJsonObject{{kDataTag, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QDateTime:
        return QJsonObject{{kDateTag, value.toDateTime().toUTC().toString(Qt::ISODateWithMs)}};
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &item : value.toList()) array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) object.insert(it.key(), toJson(it.value()));
        return object;
    }
    default: return QJsonValue::Null;
    }
}

QVariant fromJson(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Bool: return value.toBool();
    case QJsonValue::Double:
        if (const auto i = json::integerValue(value); i && value.toVariant().typeId() != QMetaType::Double) return *i;
        return value.toDouble();
    case QJsonValue::String: return value.toString();
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue &item : value.toArray()) list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.size() == 1 && object.value(kDataTag).isString())
            return QByteArray::fromBase64(object.value(kDataTag).toString().toLatin1());
        if (object.size() == 1 && object.value(kDateTag).isString()) {
            QDateTime date = QDateTime::fromString(object.value(kDateTag).toString(), Qt::ISODateWithMs);
            if (date.isValid()) return date.toUTC();
        }
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it) map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    default: return {};
    }
}

bool isNumber(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool: return true;
    default: return false;
    }
}

std::optional<double> parseNumber(const QString &text) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

// The platform reads text as true when it starts with Y, T or a non-zero digit.
bool textIsTrue(const QString &text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
    while (i < t.size() && t[i] == u'0') ++i;
    if (i >= t.size()) return false;
    const QChar c = t[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

}  // namespace

UserDefaults::UserDefaults(QString domain, QObject *parent) : QObject(parent), domain_(std::move(domain)) {}

UserDefaults::UserDefaults(const Paths &paths, QString domain, QObject *parent)
    : QObject(parent), domain_(std::move(domain)),
      filePath_(QDir(paths.preferences).filePath(domain_ + QStringLiteral(".json"))) {
    load();
    if (const auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &UserDefaults::synchronize);
}

UserDefaults::~UserDefaults() { synchronize(); }

void UserDefaults::load() {
    QFile file(filePath_);
    if (!file.exists()) return;
    QString error;
    std::optional<QJsonDocument> document;
    if (file.open(QIODevice::ReadOnly)) document = json::parse(file.readAll(), &error);
    else error = file.errorString();
    file.close();
    if (document && document->isObject()) {
        const QJsonObject object = document->object();
        for (auto it = object.begin(); it != object.end(); ++it) values_.insert(it.key(), fromJson(it.value()));
        return;
    }
    const QString aside = filePath_ + QStringLiteral(".unreadable-")
                          + QString::number(QDateTime::currentMSecsSinceEpoch());
    if (const FileResult moved = AtomicFile::moveNoReplace(filePath_, aside); moved) {
        defaultsLog().error("Moved unreadable defaults %{public}s aside: %{public}s", filePath_, aside);
    } else {
        writable_ = false;
        defaultsLog().error("Could not move unreadable defaults %{public}s aside (%{public}s); changes stay in memory",
                            filePath_, moved.error);
    }
}

std::optional<QVariant> UserDefaults::objectForKey(const QString &key) const {
    QMutexLocker lock(&mutex_);
    const auto it = values_.constFind(key);
    if (it == values_.constEnd()) return std::nullopt;
    return *it;
}

bool UserDefaults::boolForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v) return false;
    if (isNumber(*v)) return v->toDouble() != 0;
    if (v->typeId() == QMetaType::QString) return textIsTrue(v->toString());
    return false;
}

qint64 UserDefaults::integerForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v) return 0;
    if (v->typeId() == QMetaType::Double) {
        const double d = v->toDouble();
        return std::isfinite(d) ? static_cast<qint64>(d) : 0;
    }
    if (isNumber(*v)) return v->toLongLong();
    if (v->typeId() == QMetaType::QString) {
        const auto d = parseNumber(v->toString());
        return d && std::isfinite(*d) ? static_cast<qint64>(*d) : 0;
    }
    return 0;
}

double UserDefaults::doubleForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v) return 0;
    if (isNumber(*v)) return v->toDouble();
    if (v->typeId() == QMetaType::QString) return parseNumber(v->toString()).value_or(0);
    return 0;
}

std::optional<QString> UserDefaults::stringForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v) return std::nullopt;
    if (v->typeId() == QMetaType::QString) return v->toString();
    if (v->typeId() == QMetaType::Bool) return QString::number(v->toBool() ? 1 : 0);
    if (v->typeId() == QMetaType::Double) {
        const double d = v->toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) return QString::number(qint64(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    if (isNumber(*v)) return QString::number(v->toLongLong());
    return std::nullopt;
}

std::optional<QByteArray> UserDefaults::dataForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v || v->typeId() != QMetaType::QByteArray) return std::nullopt;
    return v->toByteArray();
}

std::optional<QVariantList> UserDefaults::arrayForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v || v->typeId() != QMetaType::QVariantList) return std::nullopt;
    return v->toList();
}

std::optional<QVariantMap> UserDefaults::dictionaryForKey(const QString &key) const {
    const auto v = objectForKey(key);
    if (!v || v->typeId() != QMetaType::QVariantMap) return std::nullopt;
    return v->toMap();
}

QVariantMap UserDefaults::dictionaryRepresentation() const {
    QMutexLocker lock(&mutex_);
    return values_;
}

void UserDefaults::setObject(const QString &key, const QVariant &value) {
    {
        QMutexLocker lock(&mutex_);
        values_.insert(key, value);
        scheduleWrite();
    }
    changed();
}

void UserDefaults::removeObject(const QString &key) {
    {
        QMutexLocker lock(&mutex_);
        if (values_.remove(key) == 0) return;
        scheduleWrite();
    }
    changed();
}

// Under the lock. Rewriting the whole file for every change made a carry-over of n keys cost n
// whole-file writes.
void UserDefaults::scheduleWrite() {
    if (filePath_.isEmpty() || !writable_ || writeScheduled_) return;
    writeScheduled_ = true;
    QMetaObject::invokeMethod(this, &UserDefaults::synchronize, Qt::QueuedConnection);
}

// The file is written under the lock so that it never goes back to an older state.
void UserDefaults::synchronize() {
    QMutexLocker lock(&mutex_);
    if (!writeScheduled_) return;
    writeScheduled_ = false;
    persist(values_);
}

void UserDefaults::persist(const QVariantMap &snapshot) {
    if (filePath_.isEmpty() || !writable_) return;
    QJsonObject object;
    for (auto it = snapshot.begin(); it != snapshot.end(); ++it) object.insert(it.key(), toJson(it.value()));
    if (const FileResult written = AtomicFile::write(filePath_, json::write(object)); !written)
        defaultsLog().error("Could not write defaults %{public}s: %{public}s", filePath_, written.error);
}

void UserDefaults::changed() {
    if (QThread::currentThread() == thread()) {
        emit didChange();
    } else {
        QMetaObject::invokeMethod(this, &UserDefaults::didChange, Qt::QueuedConnection);
    }
}

}  // namespace ondrake
