#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <vector>

namespace ondrake {

// Writes the same bytes as json::write without building a DOM first, for documents large enough
// that the DOM dominates the cost of saving. Members must be written in ascending key order (by
// UTF-8 bytes), as json::write would sort them.
class JsonOutput {
public:
    explicit JsonOutput(qsizetype expectedSize = 0) { out_.reserve(expectedSize); }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();

    // Starts a member; its value follows.
    void key(const QString &name);
    void key(QLatin1StringView name);

    void string(const QString &text);
    void integer(qint64 value);
    void number(double value);
    void boolean(bool value);
    void null();
    // Any DOM value, for parts of a document that are small.
    void value(const QJsonValue &value);

    QByteArray take() { return std::move(out_); }

    // Appends `text` as a JSON string in the system's escaping.
    static void appendString(QByteArray &out, QByteArrayView utf8);

private:
    void beforeValue();
    void open(char bracket);
    void close(char bracket);

    struct Level {
        int count = 0;
        bool awaitingValue = false;  // objects: a key was written
    };

    QByteArray out_;
    std::vector<Level> levels_;
};

}  // namespace ondrake
