#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>

#include <optional>

namespace ondrake {

// A JSON value read in place from a message's bytes. Nothing is copied or built until a value is
// asked for, so a message of many megabytes costs little beyond its own bytes. Numbers keep their
// text: one too large for any machine type is still a number, only not an integer. The bytes
// must outlive every value read from them.
class MessageValue {
public:
    enum class Kind { null, boolean, number, string, array, object };

    // Containers nested deeper than this make the whole text unreadable.
    static constexpr int kMaximumDepth = 1024;

    // The one value that `bytes` hold, after checking all of them: nothing for bytes that are not
    // exactly one JSON text in UTF-8 (a leading byte-order mark is allowed).
    static std::optional<MessageValue> parse(QByteArrayView bytes);

    Kind kind() const { return kind_; }
    qsizetype byteSize() const { return end_ - begin_; }  // of its text in the message
    bool isTrue() const { return kind_ == Kind::boolean && *begin_ == 't'; }
    // The number's exact value when it is whole and lies within 64 bits (3.0 and 3e2 are whole);
    // nothing for anything else, a number out of range included.
    std::optional<qint64> integer() const;
    // A string's text with its escapes resolved; empty for other kinds.
    QString text() const;
    bool textEquals(QLatin1StringView expected) const;

private:
    friend class MessageCursor;
    MessageValue() = default;
    MessageValue(const char *begin, const char *end, Kind kind, bool escaped)
        : begin_(begin), end_(end), kind_(kind), escaped_(escaped) {}
    // The value that starts at `at`, already checked and ending before `end`; `at` moves past it.
    static MessageValue read(const char *&at, const char *end);

    const char *begin_ = nullptr;  // the value's first byte
    const char *end_ = nullptr;    // one past its last
    Kind kind_ = Kind::null;
    bool escaped_ = false;  // a string holding at least one escape
};

// Walks the elements of an array or the members of an object, in order; an empty walk for any
// other kind.
class MessageCursor {
public:
    explicit MessageCursor(const MessageValue &container);
    bool next();  // false once the container has no more
    const MessageValue &value() const { return value_; }
    const MessageValue &key() const { return key_; }  // objects only: a string

private:
    const char *at_;
    const char *end_;
    bool object_;
    bool first_ = true;
    MessageValue key_;
    MessageValue value_;
};

}  // namespace ondrake
