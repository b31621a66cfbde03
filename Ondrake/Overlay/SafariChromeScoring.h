#pragma once

#include "Overlay/SafariChromeCandidate.h"
#include "Overlay/SafariChromeGeometry.h"
#include "Overlay/SafariFocusedWindow.h"
#include "Platform/TextHash.h"

#include <QRectF>

#include <optional>
#include <vector>

namespace ondrake {

// Finds Safari's tab row in its focused window: a bounded walk of the window's interface tree
// turns plausible elements into candidates, scoring names the row with a confidence, or tells
// that the tabs are drawn inside the toolbar, that the chrome has no row, or that only a
// calculated row is left.
class SafariChromeScoring {
public:
    SafariChromeScoring() = delete;

    static constexpr int maximumVisits = 200;
    static constexpr int maximumDescentDepth = 3;
    static constexpr double acceptance = 0.5;
    static constexpr double slack = 4;

    // Roles whose insides never hold the tab row: web content, text, images, buttons, menus, sheets.
    static const TextSet &skippedRoles();

    struct Assessment {
        SafariChromeCandidate candidate;
        double confidence = 0;
        bool operator==(const Assessment &) const = default;
    };

    class Outcome {
    public:
        enum class Kind { found, notFound, unsupportedLayout };
        static Outcome found(Assessment assessment) { return Outcome(Kind::found, std::move(assessment), false); }
        static Outcome notFound(bool evidence) { return Outcome(Kind::notFound, std::nullopt, evidence); }
        static Outcome unsupportedLayout() { return Outcome(Kind::unsupportedLayout, std::nullopt, false); }

        Kind kind() const { return kind_; }
        const std::optional<Assessment> &assessment() const { return assessment_; }
        bool evidence() const { return evidence_; }  // of notFound: something looked like a tab row
        bool operator==(const Outcome &) const = default;

    private:
        Outcome(Kind kind, std::optional<Assessment> assessment, bool evidence)
            : kind_(kind), assessment_(std::move(assessment)), evidence_(evidence) {}
        Kind kind_;
        std::optional<Assessment> assessment_;
        bool evidence_;
    };

    // What detection hands on: a row to keep for the window, a row for this once only, tabs
    // inside the toolbar, or chrome without a row.
    class Detection {
    public:
        enum class Kind { located, provisional, unsupportedLayout, unavailable };
        static Detection located(SafariChromeGeometry geometry) { return Detection(Kind::located, std::move(geometry)); }
        static Detection provisional(SafariChromeGeometry geometry) {
            return Detection(Kind::provisional, std::move(geometry));
        }
        static Detection unsupportedLayout() { return Detection(Kind::unsupportedLayout, std::nullopt); }
        static Detection unavailable() { return Detection(Kind::unavailable, std::nullopt); }

        Kind kind() const { return kind_; }
        const std::optional<SafariChromeGeometry> &geometry() const { return geometry_; }
        bool operator==(const Detection &) const = default;

    private:
        Detection(Kind kind, std::optional<SafariChromeGeometry> geometry)
            : kind_(kind), geometry_(std::move(geometry)) {}
        Kind kind_;
        std::optional<SafariChromeGeometry> geometry_;
    };

    static Detection detect(const SafariFocusedWindow &window, const std::optional<QString> &safariVersion,
                            FirstScreenHeight firstScreenHeight);
    static std::optional<QRectF> toolbarFrame(const AccessibilityElement &window, FirstScreenHeight firstScreenHeight);
    // Breadth first, in the order found; ends at the first element whose identifier names the tab bar.
    static std::vector<SafariChromeCandidate> collectCandidates(const AccessibilityElement &window,
                                                                FirstScreenHeight firstScreenHeight);
    static Outcome assess(const std::vector<SafariChromeCandidate> &candidates, const QRectF &windowFrame,
                          const std::optional<QRectF> &toolbarFrame);
};

QString toString(SafariChromeScoring::Detection::Kind kind);

}  // namespace ondrake
