#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

class QLoggingCategory;

namespace ondrake {

enum class LogLevel { debug, info, error, fault };

QString toString(LogLevel level);

// One argument of a log call. Numbers are public by default and text is private by default,
// as in the system log; a format's {public} or {private} annotation overrides that.
class LogArg {
public:
    template<typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
    LogArg(T v) : value_(static_cast<std::int64_t>(v)) {}
    LogArg(bool v) : value_(v) {}
    LogArg(double v) : value_(v) {}
    LogArg(const QString &v) : value_(v) {}
    LogArg(const char *v) : value_(QString::fromUtf8(v)) {}
    LogArg(const std::string &v) : value_(QString::fromStdString(v)) {}
    LogArg(std::string_view v) : value_(QString::fromUtf8(v.data(), qsizetype(v.size()))) {}

    using Value = std::variant<std::int64_t, bool, double, QString>;
    const Value &value() const { return value_; }

private:
    Value value_;
};

// Renders a format string of the system log ("%{public}ld", "%{private}s", "%{bool,public}d",
// "%.2f", "%%") with its arguments. Missing arguments render as nothing.
QString renderLogFormat(std::string_view format, const std::vector<LogArg> &args);

struct LogEntry {
    QString subsystem;
    QString category;
    LogLevel level = LogLevel::info;
    QString message;
    bool operator==(const LogEntry &) const = default;
};

// A logger of one subsystem and category. Cheap to copy; emits through Qt's logging under the
// category "<subsystem>.<category>", so QT_LOGGING_RULES can filter it.
class Logger {
public:
    Logger(QString subsystem, QString category);
    explicit Logger(QString category);  // subsystem "com.ondrake.Ondrake"

    const QString &subsystem() const { return subsystem_; }
    const QString &category() const { return category_; }

    template<typename... Args>
    void debug(std::string_view format, const Args &...args) const { log(LogLevel::debug, format, {LogArg(args)...}); }
    template<typename... Args>
    void info(std::string_view format, const Args &...args) const { log(LogLevel::info, format, {LogArg(args)...}); }
    template<typename... Args>
    void error(std::string_view format, const Args &...args) const { log(LogLevel::error, format, {LogArg(args)...}); }
    template<typename... Args>
    void fault(std::string_view format, const Args &...args) const { log(LogLevel::fault, format, {LogArg(args)...}); }

    void log(LogLevel level, std::string_view format, std::vector<LogArg> args) const;

private:
    QString subsystem_;
    QString category_;
    const QLoggingCategory *qtCategory_;
};

inline constexpr const char *kOndrakeSubsystem = "com.ondrake.Ondrake";

// While alive, receives every rendered entry from any thread, in emission order.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::vector<LogEntry> entries() const;
    std::vector<QString> messages() const;                        // every message, any category
    std::vector<QString> messages(const QString &category) const;  // messages of one category
    bool contains(const QString &message) const;
    void clear();

private:
    friend class Logger;
    void append(const LogEntry &entry);
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ondrake
