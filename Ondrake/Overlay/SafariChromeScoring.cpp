#include "Overlay/SafariChromeScoring.h"

#include "Log.h"
#include "Overlay/ScreenRect.h"

#include <algorithm>
#include <deque>

namespace ondrake {

namespace {

const QString kRole = QStringLiteral("AXRole");
const QString kTabButton = QStringLiteral("AXTabButton");

bool namesTabBar(const std::optional<QString> &identifier) {
    return identifier && identifier->startsWith(QLatin1String("TabBar"));
}

bool labelledTabBar(const std::optional<QString> &label) {
    return label && label->toLower().startsWith(QLatin1String("tab bar"));
}

double score(const SafariChromeCandidate &c) {
    double score = 0;
    if (namesTabBar(c.identifier)) score = c.hasTabsAttribute ? 0.75 : 0.55;
    else if (c.hasTabsAttribute) score = 0.2;
    if (c.childSubroles.contains(kTabButton)) score += 0.25;
    if (labelledTabBar(c.label)) score += 0.1;
    if (c.role == QLatin1String("AXGroup") || c.role == QLatin1String("AXTabGroup")) score += 0.05;
    return score;
}

bool passesFrameGates(const QRectF &f, const QRectF &w, const std::optional<QRectF> &toolbar) {
    using namespace screen;
    constexpr double slack = SafariChromeScoring::slack;
    const double depth = maxY(w) - maxY(f);
    return f.height() >= SafariChromeCandidate::minimumHeight && f.height() <= SafariChromeCandidate::maximumHeight &&
           f.width() >= 0.5 * w.width() && f.width() <= w.width() + slack && minX(f) >= minX(w) - slack &&
           maxX(f) <= maxX(w) + slack && depth >= -slack && depth <= SafariChromeGeometry::maximumRowDepth &&
           (!toolbar || maxY(f) <= minY(*toolbar) + slack);
}

}  // namespace

QString toString(SafariChromeScoring::Detection::Kind kind) {
    using Kind = SafariChromeScoring::Detection::Kind;
    switch (kind) {
    case Kind::located: return QStringLiteral("located");
    case Kind::provisional: return QStringLiteral("provisional");
    case Kind::unsupportedLayout: return QStringLiteral("unsupportedLayout");
    case Kind::unavailable: return QStringLiteral("unavailable");
    }
    return {};
}

const TextSet &SafariChromeScoring::skippedRoles() {
    static const TextSet roles = {
        QStringLiteral("AXWebArea"),    QStringLiteral("AXScrollArea"), QStringLiteral("AXTextArea"),
        QStringLiteral("AXTextField"),  QStringLiteral("AXStaticText"), QStringLiteral("AXImage"),
        QStringLiteral("AXButton"),     QStringLiteral("AXMenuBar"),    QStringLiteral("AXSheet"),
    };
    return roles;
}

std::optional<QRectF> SafariChromeScoring::toolbarFrame(const AccessibilityElement &window,
                                                        FirstScreenHeight firstScreenHeight) {
    for (const auto &child : window.children()) {
        if (child.string(kRole) != QLatin1String("AXToolbar")) continue;
        if (const auto frame = child.frame(firstScreenHeight)) return frame;
    }
    return std::nullopt;
}

std::vector<SafariChromeCandidate> SafariChromeScoring::collectCandidates(const AccessibilityElement &window,
                                                                          FirstScreenHeight firstScreenHeight) {
    std::vector<SafariChromeCandidate> candidates;
    std::deque<std::pair<AccessibilityElement, int>> queue;
    queue.emplace_back(window, 0);
    int visits = 0;
    while (visits < maximumVisits && !queue.empty()) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        ++visits;
        const auto role = element.string(kRole);
        if (depth >= 1) {
            if (auto candidate = SafariChromeCandidate::make(element, role, firstScreenHeight)) {
                const bool isTabBar = namesTabBar(candidate->identifier);
                candidates.push_back(std::move(*candidate));
                if (isTabBar) return candidates;
            }
        }
        if (depth > maximumDescentDepth || !role || skippedRoles().contains(*role)) continue;
        for (auto &child : element.children()) {
            // Whatever lies past the visit budget would never be taken from the queue.
            if (visits + int(queue.size()) >= maximumVisits) break;
            queue.emplace_back(std::move(child), depth + 1);
        }
    }
    return candidates;
}

SafariChromeScoring::Outcome SafariChromeScoring::assess(const std::vector<SafariChromeCandidate> &candidates,
                                                         const QRectF &window, const std::optional<QRectF> &toolbar) {
    using namespace screen;
    if (candidates.empty()) return Outcome::notFound(false);
    bool evidence = false;
    bool unsupported = false;
    std::optional<Assessment> best;
    for (const auto &c : candidates) {
        if (namesTabBar(c.identifier) || c.hasTabsAttribute || c.childSubroles.contains(kTabButton) ||
            labelledTabBar(c.label))
            evidence = true;
        const double s = score(c);
        if (s < acceptance) continue;
        if (c.identifier && c.identifier->contains(QLatin1String("isSeparate=false"))) {
            unsupported = true;
            continue;
        }
        if (!passesFrameGates(c.frame, window, toolbar)) {
            if (toolbar) {
                // A tab row drawn over the toolbar: Safari shows its tabs inside the toolbar.
                const double overlap = std::min(maxY(*toolbar), maxY(c.frame)) - std::max(minY(c.frame), minY(*toolbar));
                if (overlap > 0.5 * c.frame.height()) unsupported = true;
            }
            continue;
        }
        const double confidence = std::min(s, 1.0);
        if (!best || confidence > best->confidence) best = Assessment{c, confidence};
    }
    if (best) return Outcome::found(std::move(*best));
    if (unsupported) return Outcome::unsupportedLayout();
    return Outcome::notFound(evidence);
}

SafariChromeScoring::Detection SafariChromeScoring::detect(const SafariFocusedWindow &window,
                                                           const std::optional<QString> &safariVersion,
                                                           FirstScreenHeight firstScreenHeight) {
    static const Logger log(QStringLiteral("overlay"));
    const auto toolbar = toolbarFrame(window.element, firstScreenHeight);
    const auto candidates = collectCandidates(window.element, firstScreenHeight);
    const auto outcome = assess(candidates, window.frame, toolbar);
    switch (outcome.kind()) {
    case Outcome::Kind::found: {
        const auto &assessment = *outcome.assessment();
        return Detection::located({.windowFrame = window.frame,
                                   .tabBarFrame = assessment.candidate.frame,
                                   .confidence = std::clamp(assessment.confidence, 0.0, 1.0),
                                   .source = SafariChromeGeometrySource::accessibility});
    }
    case Outcome::Kind::unsupportedLayout:
        log.debug("Safari is in Compact tab layout; immersive mode has no row to reclaim");
        return Detection::unsupportedLayout();
    case Outcome::Kind::notFound:
        break;
    }
    const bool evidence = outcome.evidence();
    if (evidence || (candidates.empty() && !toolbar)) {
        log.debug("Tab row not identified (evidence: %{bool,public}d); calculating", evidence);
        auto geometry = SafariChromeGeometry::calculated(toolbar, safariVersion, window.frame);
        return evidence ? Detection::located(std::move(geometry)) : Detection::provisional(std::move(geometry));
    }
    log.debug("Safari's chrome is readable and has no tab row; drawing nothing");
    return Detection::unavailable();
}

}  // namespace ondrake
