#include "Log.h"

#include <QLoggingCategory>
#include <QMutex>

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>

namespace ondrake {

QString toString(LogLevel level) {
    switch (level) {
    case LogLevel::debug: return QStringLiteral("debug");
    case LogLevel::info: return QStringLiteral("info");
    case LogLevel::error: return QStringLiteral("error");
    case LogLevel::fault: return QStringLiteral("fault");
    }
    return {};
}

namespace {

struct Spec {
    bool isPublic = false;
    bool isPrivate = false;
    bool isBool = false;
    int precision = -1;
    char conversion = 's';
};

QString renderNumber(const LogArg::Value &v, const Spec &spec) {
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        if (spec.conversion == 'f' || spec.conversion == 'g' || spec.conversion == 'e')
            return QString::number(double(*i), spec.conversion, spec.precision < 0 ? 6 : spec.precision);
        if (spec.conversion == 'x') return QString::number(*i, 16);
        if (spec.conversion == 'u') return QString::number(quint64(*i));
        return QString::number(*i);
    }
    if (const auto *b = std::get_if<bool>(&v)) return QString::number(*b ? 1 : 0);
    if (const auto *d = std::get_if<double>(&v)) {
        if (spec.conversion == 'd' || spec.conversion == 'i' || spec.conversion == 'u')
            return QString::number(qint64(*d));
        return QString::number(*d, spec.conversion == 'g' || spec.conversion == 'e' ? spec.conversion : 'f',
                               spec.precision < 0 ? 6 : spec.precision);
    }
    return std::get<QString>(v);
}

bool truthy(const LogArg::Value &v) {
    if (const auto *i = std::get_if<std::int64_t>(&v)) return *i != 0;
    if (const auto *b = std::get_if<bool>(&v)) return *b;
    if (const auto *d = std::get_if<double>(&v)) return *d != 0;
    return !std::get<QString>(v).isEmpty();
}

}  // namespace

QString renderLogFormat(std::string_view format, const std::vector<LogArg> &args) {
    QString out;
    std::size_t next = 0;
    std::size_t i = 0;
    auto appendLiteral = [&](std::size_t from, std::size_t to) {
        out += QString::fromUtf8(format.data() + from, qsizetype(to - from));
    };
    std::size_t literalStart = 0;
    while (i < format.size()) {
        if (format[i] != '%') { ++i; continue; }
        appendLiteral(literalStart, i);
        ++i;
        if (i < format.size() && format[i] == '%') {
            out += QLatin1Char('%');
            literalStart = ++i;
            continue;
        }
        Spec spec;
        if (i < format.size() && format[i] == '{') {
            const auto close = format.find('}', i);
            if (close == std::string_view::npos) { literalStart = i; break; }
            std::string_view flags = format.substr(i + 1, close - i - 1);
            while (!flags.empty()) {
                const auto comma = flags.find(',');
                std::string_view flag = flags.substr(0, comma);
                while (!flag.empty() && flag.front() == ' ') flag.remove_prefix(1);
                if (flag == "public") spec.isPublic = true;
                else if (flag == "private") spec.isPrivate = true;
                else if (flag == "bool" || flag == "BOOL") spec.isBool = true;
                flags = comma == std::string_view::npos ? std::string_view{} : flags.substr(comma + 1);
            }
            i = close + 1;
        }
        // flags, width and precision
        while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            int precision = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') precision = precision * 10 + (format[i++] - '0');
            spec.precision = precision;
        }
        while (i < format.size() && std::string_view("hlqjzt").find(format[i]) != std::string_view::npos) ++i;
        if (i < format.size()) spec.conversion = format[i++];
        literalStart = i;

        if (next >= args.size()) continue;
        const LogArg::Value &v = args[next++].value();
        const bool hidden = spec.isPrivate || (!spec.isPublic && std::holds_alternative<QString>(v));
        if (hidden) {
            out += QStringLiteral("<private>");
        } else if (spec.isBool) {
            out += truthy(v) ? QStringLiteral("true") : QStringLiteral("false");
        } else {
            out += renderNumber(v, spec);
        }
    }
    if (literalStart < format.size()) appendLiteral(literalStart, format.size());
    return out;
}

namespace {

// Qt keeps a pointer to a category's name, so each name is stored for the life of the process.
const QLoggingCategory *qtCategoryFor(const QString &subsystem, const QString &category) {
    static QMutex mutex;
    static std::map<QString, std::pair<std::unique_ptr<QByteArray>, std::unique_ptr<QLoggingCategory>>> categories;
    const QString name = subsystem + QLatin1Char('.') + category;
    QMutexLocker lock(&mutex);
    auto it = categories.find(name);
    if (it == categories.end()) {
        auto bytes = std::make_unique<QByteArray>(name.toUtf8());
        auto cat = std::make_unique<QLoggingCategory>(bytes->constData(), QtDebugMsg);
        it = categories.emplace(name, std::make_pair(std::move(bytes), std::move(cat))).first;
    }
    return it->second.second.get();
}

QMutex captureMutex;
std::vector<LogCapture *> captures;

}  // namespace

Logger::Logger(QString subsystem, QString category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)),
      qtCategory_(qtCategoryFor(subsystem_, category_)) {}

Logger::Logger(QString category) : Logger(QString::fromLatin1(kOndrakeSubsystem), std::move(category)) {}

void Logger::log(LogLevel level, std::string_view format, std::vector<LogArg> args) const {
    const QString message = renderLogFormat(format, args);
    {
        QMutexLocker lock(&captureMutex);
        for (LogCapture *capture : captures) capture->append({subsystem_, category_, level, message});
    }
    const QLoggingCategory &cat = *qtCategory_;
    switch (level) {
    case LogLevel::debug:
        if (cat.isDebugEnabled()) QMessageLogger(nullptr, 0, nullptr, cat.categoryName()).debug("%s", qUtf8Printable(message));
        break;
    case LogLevel::info:
        if (cat.isInfoEnabled()) QMessageLogger(nullptr, 0, nullptr, cat.categoryName()).info("%s", qUtf8Printable(message));
        break;
    case LogLevel::error:
    case LogLevel::fault:
        if (cat.isCriticalEnabled()) QMessageLogger(nullptr, 0, nullptr, cat.categoryName()).critical("%s", qUtf8Printable(message));
        break;
    }
}

struct LogCapture::State {
    mutable QMutex mutex;
    std::vector<LogEntry> entries;
};

LogCapture::LogCapture() : state_(std::make_unique<State>()) {
    QMutexLocker lock(&captureMutex);
    captures.push_back(this);
}

LogCapture::~LogCapture() {
    QMutexLocker lock(&captureMutex);
    captures.erase(std::remove(captures.begin(), captures.end(), this), captures.end());
}

void LogCapture::append(const LogEntry &entry) {
    QMutexLocker lock(&state_->mutex);
    state_->entries.push_back(entry);
}

std::vector<LogEntry> LogCapture::entries() const {
    QMutexLocker lock(&state_->mutex);
    return state_->entries;
}

std::vector<QString> LogCapture::messages() const {
    std::vector<QString> out;
    for (const auto &e : entries()) out.push_back(e.message);
    return out;
}

std::vector<QString> LogCapture::messages(const QString &category) const {
    std::vector<QString> out;
    for (const auto &e : entries())
        if (e.category == category) out.push_back(e.message);
    return out;
}

bool LogCapture::contains(const QString &message) const {
    const auto all = messages();
    return std::find(all.begin(), all.end(), message) != all.end();
}

void LogCapture::clear() {
    QMutexLocker lock(&state_->mutex);
    state_->entries.clear();
}

}  // namespace ondrake
