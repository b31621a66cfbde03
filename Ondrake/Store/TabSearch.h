#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
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

// The score of one text, or nothing when the query's characters do not all occur in it in
// order. Characters are user-perceived ones, compared lower-cased and canonically.
std::optional<std::int64_t> fuzzyScore(QStringView query, QStringView candidate);

}  // namespace ondrake::TabSearch
