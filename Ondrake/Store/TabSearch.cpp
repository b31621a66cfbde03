#include "Store/TabSearch.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <utility>

namespace ondrake::TabSearch {

namespace {

// A text lower-cased, composed and cut into user-perceived characters.
class Characters {
public:
    explicit Characters(QStringView text)
        : text_(text.toString().toLower().normalized(QString::NormalizationForm_C)) {
        bounds_.push_back(0);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text_);
        for (qsizetype at = finder.toNextBoundary(); at != -1; at = finder.toNextBoundary()) bounds_.push_back(at);
    }

    qsizetype size() const { return qsizetype(bounds_.size()) - 1; }
    QStringView at(qsizetype i) const {
        return QStringView(text_).sliced(bounds_[std::size_t(i)], bounds_[std::size_t(i) + 1] - bounds_[std::size_t(i)]);
    }

private:
    QString text_;
    std::vector<qsizetype> bounds_;
};

bool isWordSeparator(QStringView character) {
    if (character.size() != 1) return false;
    const char16_t c = character.front().unicode();
    return c == u' ' || c == u'.' || c == u'/' || c == u'-' || c == u'_';
}

// Points earned by the successive matches of one candidate.
class Points {
public:
    void add(qsizetype position, bool wordStart) {
        if (position == previous_ + 1) {
            ++streak_;
            sum_ += 1 + 5 * streak_;
        } else {
            streak_ = 0;
            sum_ += 1;
        }
        if (wordStart) sum_ += 8;
        previous_ = position;
    }
    // Longer candidates lose a point for every four characters beyond the query.
    std::int64_t total(qsizetype candidateLength, qsizetype queryLength) const {
        return sum_ - std::int64_t(candidateLength - queryLength) / 4;
    }

private:
    std::int64_t sum_ = 0;
    std::int64_t streak_ = 0;
    qsizetype previous_ = -1;  // so that a match at 0 starts a streak
};

std::optional<std::int64_t> scoreCharacters(const Characters &query, const Characters &candidate) {
    const qsizetype length = candidate.size();
    if (length < query.size()) return std::nullopt;
    Points points;
    qsizetype from = 0;
    for (qsizetype q = 0; q < query.size(); ++q) {
        const QStringView wanted = query.at(q);
        qsizetype p = from;
        while (p < length && candidate.at(p) != wanted) ++p;
        if (p == length) return std::nullopt;
        points.add(p, p == 0 || isWordSeparator(candidate.at(p - 1)));
        from = p + 1;
    }
    return points.total(length, query.size());
}

// Most titles, hosts and addresses are Latin text in which every UTF-16 unit is a character of
// its own, lower-cases to one unit and is composed already. Such text is matched unit by unit,
// without the general Unicode machinery; anything else takes the general path.
bool standsAlone(char16_t c) {
    if (c < 0x300) return c != 0x130;  // İ lower-cases to two units
    if (c >= 0x2002 && c <= 0x206F) return c != 0x200C && c != 0x200D;  // punctuation but the joiners
    return c >= 0x20A0 && c <= 0x20CF;  // currency signs
}

char16_t lowered(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return char16_t(QChar::toLower(char32_t(c)));
}

// Never equal to a unit that stands alone: a query character of several units.
constexpr char16_t kNoUnit = 0xFFFF;

class Query {
public:
    explicit Query(QStringView text) : characters_(text) {
        units_.reserve(std::size_t(characters_.size()));
        for (qsizetype i = 0; i < characters_.size(); ++i) {
            const QStringView c = characters_.at(i);
            units_.push_back(c.size() == 1 ? c.front().unicode() : kNoUnit);
        }
    }

    const Characters &characters() const { return characters_; }
    const std::vector<char16_t> &units() const { return units_; }

    std::optional<std::int64_t> score(QStringView candidate) const {
        if (units_.empty()) return 0;
        if (candidate.isEmpty()) return std::nullopt;
        // A character is at least one unit, so fewer units than query characters cannot match.
        if (candidate.size() < qsizetype(units_.size())) return std::nullopt;
        if (const auto fast = scoreUnits(candidate)) return *fast;
        return scoreCharacters(characters_, Characters(candidate));
    }

private:
    // Nothing inside when the candidate needs the general path.
    std::optional<std::optional<std::int64_t>> scoreUnits(QStringView candidate) const {
        const char16_t *units = candidate.utf16();
        const qsizetype length = candidate.size();
        Points points;
        std::size_t next = 0;
        for (qsizetype p = 0; p < length; ++p) {
            const char16_t c = units[p];
            if (!standsAlone(c) || (c == u'\r' && p + 1 < length && units[p + 1] == u'\n')) return std::nullopt;
            if (next < units_.size() && lowered(c) == units_[next]) {
                points.add(p, p == 0 || isWordSeparator(QStringView(units + p - 1, 1)));
                ++next;
            }
        }
        if (next < units_.size()) return std::optional<std::int64_t>{};
        return points.total(length, qsizetype(units_.size()));
    }

    Characters characters_;
    std::vector<char16_t> units_;
};

// A field as the index keeps it: lower-cased unit for unit where the text allows, so that a
// query is found with plain scans; otherwise cut into characters once.
struct IndexedField {
    QString units;                          // lower-cased; empty when the text takes the general path
    std::optional<Characters> characters;  // the general path's form of the text
    std::int64_t weight = 1;

    IndexedField(const QString &text, std::int64_t weight) : weight(weight) {
        const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
        const qsizetype length = text.size();
        bool lowerAlready = true;
        for (qsizetype p = 0; p < length; ++p) {
            const char16_t c = data[p];
            if (!standsAlone(c) || (c == u'\r' && p + 1 < length && data[p + 1] == u'\n')) {
                characters.emplace(text);
                return;
            }
            lowerAlready = lowerAlready && lowered(c) == c;
        }
        if (lowerAlready) {
            units = text;
            return;
        }
        units.resize(length);
        char16_t *out = reinterpret_cast<char16_t *>(units.data());
        for (qsizetype p = 0; p < length; ++p) out[p] = lowered(data[p]);
    }

    std::optional<std::int64_t> score(const Query &query) const {
        if (characters) {
            if (characters->size() < query.characters().size()) return std::nullopt;
            return scoreCharacters(query.characters(), *characters);
        }
        // The same greedy walk as Query::scoreUnits, over text that needs no per-unit checks.
        const auto &wanted = query.units();
        const qsizetype length = units.size();
        if (length < qsizetype(wanted.size())) return std::nullopt;
        const QStringView text(units);
        Points points;
        qsizetype from = 0;
        for (const char16_t unit : wanted) {
            if (unit == kNoUnit) return std::nullopt;
            const qsizetype p = text.indexOf(QChar(unit), from);
            if (p < 0) return std::nullopt;
            points.add(p, p == 0 || isWordSeparator(text.sliced(p - 1, 1)));
            from = p + 1;
        }
        return points.total(length, qsizetype(wanted.size()));
    }
};

}  // namespace

struct Index::Data {
    std::vector<IndexedField> fields;
    std::vector<std::size_t> firstField;  // per document, and one past the last
};

Index::Index() = default;

Index::Index(const std::vector<Document> &documents) {
    auto data = std::make_shared<Data>();
    data->firstField.reserve(documents.size() + 1);
    for (const auto &document : documents) {
        data->firstField.push_back(data->fields.size());
        const auto add = [&](const QString &field, std::int64_t weight) {
            if (!field.isEmpty()) data->fields.emplace_back(field, weight);
        };
        add(document.title, 4);
        add(document.domain, 3);
        add(document.groupName, 3);
        add(document.url, 1);
        for (const auto &value : document.metadata) add(value, 1);
    }
    data->firstField.push_back(data->fields.size());
    data_ = std::move(data);
}

namespace {

template <typename Positions>
std::vector<Ranked> rankIndexed(QStringView query, const std::vector<IndexedField> &fields,
                                const std::vector<std::size_t> &firstField, const Positions &positions) {
    const QStringView trimmed = query.trimmed();
    if (trimmed.isEmpty()) return {};
    const Query prepared(trimmed);
    std::vector<Ranked> ranked;
    positions([&](std::size_t i) {
        std::optional<std::int64_t> best;
        for (std::size_t f = firstField[i]; f < firstField[i + 1]; ++f) {
            if (const auto score = fields[f].score(prepared)) {
                const std::int64_t weighed = *score * fields[f].weight;
                best = std::max(best.value_or(weighed), weighed);
            }
        }
        if (best) ranked.push_back({i, *best});
    });
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) { return a.score > b.score; });
    return ranked;
}

}  // namespace

std::vector<Ranked> Index::rank(QStringView query) const {
    if (!data_) return {};
    const std::size_t count = data_->firstField.size() - 1;
    return rankIndexed(query, data_->fields, data_->firstField, [count](const auto &visit) {
        for (std::size_t i = 0; i < count; ++i) visit(i);
    });
}

std::vector<Ranked> Index::rank(QStringView query, const std::vector<std::size_t> &positions) const {
    if (!data_) return {};
    const std::size_t count = data_->firstField.size() - 1;
    return rankIndexed(query, data_->fields, data_->firstField, [&](const auto &visit) {
        for (const std::size_t i : positions)
            if (i < count) visit(i);
    });
}

bool Index::narrows(QStringView previous, QStringView next) {
    const Characters before(previous.trimmed());
    const Characters after(next.trimmed());
    if (before.size() == 0 || before.size() > after.size()) return false;
    for (qsizetype i = 0; i < before.size(); ++i)
        if (before.at(i) != after.at(i)) return false;
    return true;
}

std::optional<std::int64_t> fuzzyScore(QStringView query, QStringView candidate) {
    return Query(query).score(candidate);
}

std::vector<Ranked> rank(QStringView query, const std::vector<Document> &documents) {
    const QStringView trimmed = query.trimmed();
    if (trimmed.isEmpty()) return {};
    const Query prepared(trimmed);

    std::vector<Ranked> ranked;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const auto &document = documents[i];
        std::optional<std::int64_t> best;
        const auto weigh = [&](const QString &field, std::int64_t weight) {
            if (field.isEmpty()) return;
            if (const auto score = prepared.score(field)) best = std::max(best.value_or(*score * weight), *score * weight);
        };
        weigh(document.title, 4);
        weigh(document.domain, 3);
        weigh(document.groupName, 3);
        weigh(document.url, 1);
        for (const auto &value : document.metadata) weigh(value, 1);
        if (best) ranked.push_back({i, *best});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) { return a.score > b.score; });
    return ranked;
}

std::vector<Result> search(QStringView query, const std::vector<Document> &documents) {
    const auto ranked = rank(query, documents);
    std::vector<Result> results;
    results.reserve(ranked.size());
    for (const auto &[document, score] : ranked) results.push_back({documents[document].tabID, score});
    return results;
}

}  // namespace ondrake::TabSearch
