#include "Ondrake/Model/AdvancedFlag.h"

#include "UserDefaults.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

AdvancedFlag number(const char *key, const char *name, const char *title, const char *summary, AdvancedFlag::Number n) {
    return AdvancedFlag{QString::fromUtf8(key), QString::fromUtf8(name), QString::fromUtf8(title),
                        QString::fromUtf8(summary), n};
}

AdvancedFlag options(const char *key, const char *name, const char *title, const char *summary,
                     AdvancedFlag::Options o) {
    return AdvancedFlag{QString::fromUtf8(key), QString::fromUtf8(name), QString::fromUtf8(title),
                        QString::fromUtf8(summary), std::move(o)};
}

AdvancedFlag::Option option(const char *rawValue, const char *title, const char *summary) {
    return {QString::fromUtf8(rawValue), QString::fromUtf8(title), QString::fromUtf8(summary)};
}

std::vector<AdvancedFlag> makeTable() {
    using Unit = AdvancedFlag::Unit;
    return {
        number("SidebarSeamStrength", "sidebar.seam.strength", "Strength of the edge against Safari",
               "How strongly Ondrake draws the boundary where it meets Safari — the sidebar's right edge and the "
               "immersive bar's left edge, which are drawn to match. Each theme sets its own colour for this; the "
               "slider scales it. There is no correct value: it depends on the theme, on your wallpaper, and on "
               "whether Safari is in light or dark mode. 0% turns it off entirely.",
               {1.0, 0.0, 2.0, 0.05, Unit::percent}),
        number("SidebarSeamWidth", "sidebar.seam.width", "Width of the edge against Safari",
               "How far the shading ramps inwards from that boundary. Narrow reads as a drawn line, wide as a cast "
               "shadow. The 1 pt hairline at the sidebar's own edge is not affected — that is the edge itself "
               "rather than the shading, and it disappears only at 0% strength.",
               {8.0, 0.0, 24.0, 1.0, Unit::points}),
        options("SidebarWindowScope", "sidebar.windows.scope", "Which Safari windows the sidebar lists",
                "Safari reports its windows front to back, so its own order says which window you are in rather "
                "than anything about the windows themselves. The sidebar can follow that by showing only the window "
                "you are in, or ignore it and show every window in a fixed order — what it cannot sensibly do is "
                "show every window in an order that rearranges itself as you click between them.",
                {QStringLiteral("activeWindow"),
                 {option("activeWindow", "Only the window you are in",
                         "The sidebar lists the tabs of Safari's frontmost window and nothing else, the way its own "
                         "tab bar does. Pinned tabs, groups and search are scoped to that window too, so nothing on "
                         "screen belongs to a window you cannot see. Switching windows in Safari switches the list."),
                  option("allWindows", "Every window, in a fixed order",
                         "Every window gets its own section, all the time. Sections keep the order their windows "
                         "first appeared in rather than following Safari's front-to-back order, so clicking between "
                         "windows does not rearrange the sidebar under you. The cost is the obvious one: a long "
                         "list, most of which is somewhere you are not.")}}),
        options("SidebarEdgeBehavior", "sidebar.docking.at-screen-edge", "When Safari is dragged over the sidebar",
                "The sidebar docks flush against Safari's left edge, so dragging Safari towards the left of the "
                "screen eventually leaves nowhere for it to go. Which of these is right is a matter of taste rather "
                "than correctness.",
                {QStringLiteral("moveSafari"),
                 {option("moveSafari", "Move Safari's window",
                         "When Safari's window would cover the sidebar, Safari is moved right to make room — once you "
                         "let go of it, never mid-drag. The sidebar stays fully visible."),
                  option("slideOffScreen", "Let the sidebar slide off screen",
                         "Safari is never moved. The sidebar follows its left edge off the side of the display, the "
                         "way any window slides off when you drag it there, and comes back when Safari does. Its "
                         "height still fits the screen.")}}),
        options("ImmersiveTrackingMode", "immersive.drag.tracking-mode", "Immersive bar while dragging Safari",
                "What the immersive bar does while Safari's window is being moved. A window in another application "
                "is always at least one composited frame ahead of anything Ondrake can draw over it, so the bar "
                "cannot be made to track it exactly.",
                {QStringLiteral("hideWhileMoving"),
                 {option("hideWhileMoving", "Hide while moving",
                         "The bar disappears while you drag Safari’s window and returns when you let go. The only "
                         "option that looks clean, at the cost of not being there during the drag."),
                  option("follow", "Follow the window",
                         "The bar follows the window. Experimental: it trails by roughly 25–50 px at normal drag "
                         "speed, briefly uncovering Safari’s own tab row. Unavoidable — a window in another app is "
                         "always at least one frame ahead."),
                  option("followPredicted", "Follow, predicting motion",
                         "As above, but the bar is placed where the window is about to be. Experimental: closer, "
                         "though it shifts against the tab row as your hand speeds up and slows down.")}}),
        number("ImmersiveSettleDelay", "immersive.drag.settle-delay", "Delay before the bar returns",
               "How still Safari's window has to be before the immersive bar comes back. Only applies when the bar "
               "hides while dragging. Lower feels more immediate; too low and it flickers back on during a pause "
               "partway through a drag.",
               {0.12, 0.04, 0.4, 0.01, Unit::milliseconds}),
        number("ImmersiveFadeDuration", "immersive.fade.duration", "Fade the bar in and out",
               "How long the immersive bar takes to fade when it appears or is hidden by a drag. Set to the minimum "
               "for no fade at all. Fading out is capped shorter than fading in on purpose: while it fades out the "
               "bar is still sitting at the position the window has already left.",
               {0.12, 0.0, 0.4, 0.01, Unit::milliseconds}),
        number("SafariWindowSampleRate", "window.tracking.sample-rate", "Safari window sampling rate",
               "How often Ondrake looks for Safari's window. Affects both the sidebar's docking and how quickly the "
               "immersive bar notices a drag has started — at 30 Hz the start of a drag is seen up to 33 ms late. "
               "Ticks are nearly free while nothing is moving; each one during a drag costs roughly 103 µs, and "
               "more on the occasional full scan, which grows with how many windows you have open.",
               {30.0, 30.0, 120.0, 30.0, Unit::hertz}),
    };
}

}  // namespace

const std::vector<AdvancedFlag> &AdvancedFlag::all() {
    static const std::vector<AdvancedFlag> table = makeTable();
    return table;
}

double AdvancedFlag::numberValue(const UserDefaults &defaults) const {
    const auto *n = std::get_if<Number>(&kind);
    if (!n) return 0.0;
    if (!defaults.objectForKey(key)) return n->defaultValue;
    const double stored = defaults.doubleForKey(key);
    if (!std::isfinite(stored)) return n->defaultValue;
    return std::clamp(stored, n->lowerBound, n->upperBound);
}

bool AdvancedFlag::isModified(const UserDefaults &defaults) const {
    if (!defaults.objectForKey(key)) return false;
    if (const auto *n = std::get_if<Number>(&kind)) return numberValue(defaults) != n->defaultValue;
    const auto &o = std::get<Options>(kind);
    const auto stored = defaults.stringForKey(key);
    if (!stored) return true;
    const bool known = std::any_of(o.options.begin(), o.options.end(),
                                   [&](const Option &option) { return option.rawValue == *stored; });
    if (!known) return false;
    return *stored != o.defaultRawValue;
}

QStringList AdvancedFlag::searchTerms() const {
    QStringList terms{name, title, summary};
    if (const auto *o = std::get_if<Options>(&kind)) {
        for (const Option &option : o->options) terms << option.title << option.summary;
    }
    return terms;
}

QString AdvancedFlag::format(Unit unit, double value) {
    switch (unit) {
    case Unit::milliseconds: return QString::asprintf("%.0f ms", value * 1000);
    case Unit::hertz: return QString::asprintf("%.0f Hz", value);
    case Unit::percent: return QString::asprintf("%.0f%%", value * 100);
    case Unit::points: return QString::asprintf("%.0f pt", value);
    }
    return {};
}

}  // namespace ondrake
