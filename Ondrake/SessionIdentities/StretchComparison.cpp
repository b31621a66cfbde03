#include "StretchComparison.h"

#include "Platform/TextHash.h"

#include <algorithm>
#include <span>

namespace ondrake {

namespace {

constexpr std::uint64_t kMod = (std::uint64_t(1) << 61) - 1;
constexpr std::uint64_t kBase = 0x1D6A3F5B97C3ull;
__extension__ using Wide = unsigned __int128;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const Wide p = Wide(a) * b;
    const auto r = std::uint64_t(p & kMod) + std::uint64_t(p >> 61);
    return r >= kMod ? r - kMod : r;
}
std::uint64_t subMod(std::uint64_t a, std::uint64_t b) { return a >= b ? a - b : a + kMod - b; }
std::uint64_t valueOf(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    return x % (kMod - 1) + 1;
}

template<typename ValueAt>
void prefixHashes(std::vector<std::uint64_t> &out, std::size_t n, const ValueAt &valueAt) {
    out.resize(n + 1);
    out[0] = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto next = mulMod(out[i], kBase) + valueAt(i);
        out[i + 1] = next >= kMod ? next - kMod : next;
    }
}

}  // namespace

StretchComparison::StretchComparison(Tables &tables, const WindowPages &pages, const SearchBudget &budget)
    : tables_(tables), pages_(pages), n_(pages.places.size()), m_(pages.tabs.size()), budget_(budget) {
    const auto longest = std::max(n_, m_) + 1;
    auto &powers = tables_.powers;
    if (powers.size() < longest) {
        const auto from = std::max<std::size_t>(powers.size(), 1);
        powers.resize(longest);
        powers[0] = 1;
        for (auto k = from; k < longest; ++k) powers[k] = mulMod(powers[k - 1], kBase);
    }
    prefixHashes(tables_.placeHashes, n_, [&](std::size_t i) { return valueOf(pages.placeAddresses[i]); });
    prefixHashes(tables_.tabHashes, m_, [&](std::size_t i) { return valueOf(pages.tabAddresses[i]); });
}

void StretchComparison::hashPages() const {
    if (pageHashed_) return;
    const auto page = [](const std::span<const PageKey> keys, std::span<const std::uint32_t> addresses) {
        return [keys, addresses](std::size_t i) {
            return valueOf(std::uint64_t(addresses[i]) * 0x9E3779B97F4A7C15ull ^ textHash(keys[i].title, 7));
        };
    };
    prefixHashes(tables_.placePageHashes, n_, page(pages_.places, pages_.placeAddresses));
    prefixHashes(tables_.tabPageHashes, m_, page(pages_.tabs, pages_.tabAddresses));
    pageHashed_ = true;
}
std::uint64_t StretchComparison::hashOf(const std::vector<std::uint64_t> &h, std::size_t at, std::size_t length) const {
    return subMod(h[at + length], mulMod(h[at], tables_.powers[length]));
}
bool StretchComparison::sameStretch(std::size_t p, std::size_t t, std::size_t length, bool byPage) const {
    budget_.spend();
    return byPage ? hashOf(tables_.placePageHashes, p, length) == hashOf(tables_.tabPageHashes, t, length)
                  : hashOf(tables_.placeHashes, p, length) == hashOf(tables_.tabHashes, t, length);
}
bool StretchComparison::same(std::size_t p, std::size_t t, bool byPage) const {
    budget_.spend();
    return pages_.placeAddresses[p] == pages_.tabAddresses[t] && (!byPage || pages_.places[p].title == pages_.tabs[t].title);
}

std::size_t StretchComparison::common(std::size_t p, std::size_t t, std::size_t limit, bool byPage) const {
    std::size_t l = 0;
    for (; l < limit && l < 8; ++l)
        if (!same(p + l, t + l, byPage)) return l;
    if (l == limit) return l;
    std::size_t step = 8;
    while (l + step <= limit && sameStretch(p + l, t + l, step, byPage)) {
        l += step;
        step *= 2;
    }
    auto hi = std::min(limit, l + step);
    while (l < hi) {
        const auto mid = (l + hi + 1) / 2;
        if (sameStretch(p + l, t + l, mid - l, byPage)) l = mid;
        else hi = mid - 1;
    }
    return l;
}
std::size_t StretchComparison::commonBefore(std::size_t p, std::size_t t, std::size_t limit, bool byPage) const {
    std::size_t l = 0;
    for (; l < limit && l < 8; ++l)
        if (!same(p - 1 - l, t - 1 - l, byPage)) return l;
    if (l == limit) return l;
    std::size_t step = 8;
    while (l + step <= limit && sameStretch(p - l - step, t - l - step, step, byPage)) {
        l += step;
        step *= 2;
    }
    auto hi = std::min(limit, l + step);
    while (l < hi) {
        const auto mid = (l + hi + 1) / 2;
        if (sameStretch(p - mid, t - mid, mid - l, byPage)) l = mid;
        else hi = mid - 1;
    }
    return l;
}
std::size_t StretchComparison::mismatches(std::size_t p, std::size_t t, std::size_t length, std::size_t cap) const {
    std::size_t count = 0;
    for (std::size_t k = 0; k < length && count <= cap;) {
        k += common(p + k, t + k, length - k);
        if (k < length) {
            ++count;
            ++k;
        }
    }
    return count;
}

std::uint32_t StretchComparison::addressAt(const Strip &s, std::size_t at) const {
    for (std::size_t i = 0; i < s.count(); ++i) {
        if (at < s[i].length) return s[i].opened ? kAnyAddress : pages_.placeAddresses[s[i].from + at];
        at -= s[i].length;
    }
    return kAnyAddress;
}
std::size_t StretchComparison::stripCommon(const Strip &s, std::size_t at, std::size_t t, bool byPage) const {
    std::size_t total = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.count() && t < m_; ++i) {
        const auto &seg = s[i];
        if (at >= start + seg.length) {
            start += seg.length;
            continue;
        }
        const auto offset = at - start;
        const auto limit = std::min<std::size_t>(seg.length - offset, m_ - t);
        const auto same = seg.opened ? limit : common(seg.from + offset, t, limit, byPage);
        total += same;
        if (same < seg.length - offset) return total;
        at += same;
        t += same;
        start += seg.length;
    }
    return total;
}
std::size_t StretchComparison::stripCommonBefore(const Strip &s, std::size_t at, std::size_t t, bool byPage) const {
    std::size_t total = 0;
    std::size_t end = s.length();
    for (std::size_t i = s.count(); i-- > 0 && t > 0;) {
        const auto &seg = s[i];
        const auto start = end - seg.length;
        if (at <= start) {
            end = start;
            continue;
        }
        const auto within = at - start;
        const auto limit = std::min<std::size_t>(within, t);
        const auto same = seg.opened ? limit : commonBefore(seg.from + within, t, limit, byPage);
        total += same;
        if (same < within) return total;
        at -= same;
        t -= same;
        end = start;
    }
    return total;
}

bool StretchComparison::fits(const Strip &s, std::size_t at, std::size_t t, std::size_t length, int &spare) const {
    if (t + length > m_) return false;
    for (std::size_t k = 0;;) {
        k += stripCommon(s, at + k, t + k);
        if (k >= length) return true;
        if (spare == 0) return false;
        --spare;
        ++k;
    }
}
bool StretchComparison::onlyOpened(const Strip &s, std::size_t from, std::size_t to) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.count(); ++i) {
        const auto end = start + s[i].length;
        if (end > from && start < to && !s[i].opened) return false;
        start = end;
    }
    return true;
}

void StretchComparison::indexAddresses() const {
    if (indexed_) return;
    indexed_ = true;
    const auto index = [](std::span<const std::uint32_t> addresses, std::size_t size, std::vector<std::uint32_t> &starts,
                          std::vector<std::uint32_t> &at) {
        starts.assign(size + 1, 0);
        for (const auto a : addresses) ++starts[a + 1];
        for (std::size_t a = 0; a < size; ++a) starts[a + 1] += starts[a];
        at.resize(addresses.size());
        std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
        for (std::size_t i = 0; i < addresses.size(); ++i) at[next[addresses[i]]++] = std::uint32_t(i);
    };
    std::uint32_t most = 0;
    for (const auto a : pages_.placeAddresses) most = std::max(most, a);
    for (const auto a : pages_.tabAddresses) most = std::max(most, a);
    index(pages_.placeAddresses, std::size_t(most) + 1, tables_.placeStarts, tables_.places);
    index(pages_.tabAddresses, std::size_t(most) + 1, tables_.tabStarts, tables_.tabs);
}

namespace {

// The entries of one address in [from, to), from a list by address.
std::span<const std::uint32_t> within(const std::vector<std::uint32_t> &starts, const std::vector<std::uint32_t> &at,
                                      std::uint32_t address, std::size_t from, std::size_t to) {
    if (std::size_t(address) + 1 >= starts.size() || from >= to) return {};
    const auto *first = at.data() + starts[address];
    const auto *last = at.data() + starts[address + 1];
    const auto *lo = std::lower_bound(first, last, std::uint32_t(from));
    const auto *hi = std::lower_bound(lo, last, std::uint32_t(std::min<std::size_t>(to, std::numeric_limits<std::uint32_t>::max())));
    return {lo, hi};
}

}  // namespace

void StretchComparison::stripPositionsOf(const Strip &s, std::uint32_t address, std::size_t from, std::size_t to,
                                         std::vector<std::size_t> &out) const {
    indexAddresses();
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.count() && start < to; ++i) {
        const auto &seg = s[i];
        const auto lo = std::max(start, from);
        const auto hi = std::min<std::size_t>(start + seg.length, to);
        if (lo < hi) {
            if (seg.opened) {
                budget_.spend(hi - lo);
                for (auto p = lo; p < hi; ++p) out.push_back(p);
            } else {
                const auto found = within(tables_.placeStarts, tables_.places, address, seg.from + (lo - start), seg.from + (hi - start));
                budget_.spend(found.size() + 1);
                for (const auto place : found) out.push_back(start + (place - seg.from));
            }
        }
        start += seg.length;
    }
}

void StretchComparison::tabPositionsOf(std::uint32_t address, std::size_t from, std::size_t to, std::vector<std::size_t> &out) const {
    indexAddresses();
    const auto found = within(tables_.tabStarts, tables_.tabs, address, from, std::min(to, m_));
    budget_.spend(found.size() + 1);
    out.insert(out.end(), found.begin(), found.end());
}

}  // namespace ondrake
