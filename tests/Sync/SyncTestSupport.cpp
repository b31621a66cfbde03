#include "SyncTestSupport.h"

#include <sstream>

namespace ondrake::test {

namespace {
std::string show(const OndrakeID &id) { return id.toString().right(4).toStdString(); }
std::string show(const std::optional<OndrakeID> &id) { return id ? show(*id) : "nil"; }
std::string show(const QString &text) { return '"' + text.toStdString() + '"'; }
std::string show(const std::optional<QString> &text) { return text ? show(*text) : "nil"; }
std::string show(std::int64_t n) { return std::to_string(n); }
}  // namespace

std::string describe(const TabEvent &event) {
    return std::visit(
        [](const auto &e) -> std::string {
            using C = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<C, TabEvent::WindowOpened>) return "windowOpened(" + show(e.windowID) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::WindowClosed>) return "windowClosed(" + show(e.windowID) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabCreated>) return "tabCreated(" + show(e.id) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabClosed>) return "tabClosed(" + show(e.id) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabActivated>) return "tabActivated(" + show(e.id) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabDeactivated>) return "tabDeactivated(" + show(e.id) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::URLChanged>)
                return "urlChanged(" + show(e.id) + ", from: " + show(e.from) + ", to: " + show(e.to) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TitleChanged>)
                return "titleChanged(" + show(e.id) + ", from: " + show(e.from) + ", to: " + show(e.to) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabMovedToWindow>)
                return "tabMovedToWindow(" + show(e.id) + ", from: " + show(e.from) + ", to: " + show(e.to) + ")";
            else if constexpr (std::is_same_v<C, TabEvent::TabReordered>)
                return "tabReordered(" + show(e.id) + ", from: " + show(e.from) + ", to: " + show(e.to) + ")";
            else return "parentChanged(" + show(e.id) + ", from: " + show(e.from) + ", to: " + show(e.to) + ")";
        },
        event.payload);
}

std::string describe(const ResolvedTab &tab) {
    return show(tab.ondrakeID) + " " + show(tab.sessionTabID) + " window " + show(tab.windowID) + " index " +
           show(tab.index) + " " + show(tab.title) + " " + show(tab.url) + (tab.isActive ? " active" : "") +
           " parent " + show(tab.parentOndrakeID);
}

}  // namespace ondrake::test
