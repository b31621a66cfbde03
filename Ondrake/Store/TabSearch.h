#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake::TabSearch {

// Ranks tabs against typed text with a case-insensitive subsequence match that rewards runs and
// word starts. Stateless.

// What of one tab is searched; empty fields are skipped.
struct Document {
    QString tabID;  // the tab's session id
    QString title;
    QString url;        // absolute text, empty without one
    QString domain;     // favicon host, empty without one
    QString groupName;  // empty outside a group
    std::vector<QString> metadata;  // the record's text values, in any order

    bool operator==(const Document &) const = default;
};

struct Result {
    QString tabID;
    std::int64_t score = 0;  // may be negative

    bool operator==(const Result &) const = default;
};

// The matching documents with their best weighted field score, best first; equal scores keep
// the documents' order. A query of blanks matches nothing.
std::vector<Result> search(QStringView query, const std::vector<Document> &documents);

// The same ranking by the documents' positions, for callers that keep their tabs beside the
// documents and need no lookup by id.
struct Ranked {
    std::size_t document = 0;
    std::int64_t score = 0;
    bool operator==(const Ranked &) const = default;
};
std::vector<Ranked> rank(QStringView query, const std::vector<Document> &documents);

// The documents made ready once for many queries: a keystroke then scans texts lower-cased in
// advance instead of preparing every field again. Ranks exactly as `rank` does.
class Index {
public:
    Index();
    explicit Index(const std::vector<Document> &documents);

    std::vector<Ranked> rank(QStringView query) const;
    // Only the documents at `positions`, which must be ascending.
    std::vector<Ranked> rank(QStringView query, const std::vector<std::size_t> &positions) const;

    // Whether every document that `next` matches is matched by `previous` too: the previous
    // query's characters begin the next one's. Results may then be narrowed down, not ranked anew.
    static bool narrows(QStringView previous, QStringView next);

private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

// The score of one text, or nothing when the query's characters do not all occur in it in
// order. Characters are user-perceived ones, compared lower-cased and canonically.
std::optional<std::int64_t> fuzzyScore(QStringView query, QStringView candidate);

}  // namespace ondrake::TabSearch
