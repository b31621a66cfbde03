#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace ondrake {

// One thing that happened in the browser between two polls. The cases keep their declaration
// order; `from` is what the previous poll showed, `to` what the current one shows.
struct TabEvent {
    struct WindowOpened {
        std::int64_t windowID = 0;
        bool operator==(const WindowOpened &) const = default;
    };
    struct WindowClosed {
        std::int64_t windowID = 0;
        bool operator==(const WindowClosed &) const = default;
    };
    struct TabCreated {
        OndrakeID id;
        bool operator==(const TabCreated &) const = default;
    };
    struct TabClosed {
        OndrakeID id;
        bool operator==(const TabClosed &) const = default;
    };
    struct TabActivated {
        OndrakeID id;
        bool operator==(const TabActivated &) const = default;
    };
    struct TabDeactivated {
        OndrakeID id;
        bool operator==(const TabDeactivated &) const = default;
    };
    struct URLChanged {
        OndrakeID id;
        std::optional<QString> from;
        std::optional<QString> to;
        bool operator==(const URLChanged &) const = default;
    };
    struct TitleChanged {
        OndrakeID id;
        QString from;
        QString to;
        bool operator==(const TitleChanged &) const = default;
    };
    struct TabMovedToWindow {
        OndrakeID id;
        std::int64_t from = 0;
        std::int64_t to = 0;
        bool operator==(const TabMovedToWindow &) const = default;
    };
    struct TabReordered {
        OndrakeID id;
        std::int64_t from = 0;
        std::int64_t to = 0;
        bool operator==(const TabReordered &) const = default;
    };
    struct ParentChanged {
        OndrakeID id;
        std::optional<OndrakeID> from;
        std::optional<OndrakeID> to;
        bool operator==(const ParentChanged &) const = default;
    };

    using Payload = std::variant<WindowOpened, WindowClosed, TabCreated, TabClosed, TabActivated, TabDeactivated,
                                 URLChanged, TitleChanged, TabMovedToWindow, TabReordered, ParentChanged>;
    Payload payload;

    static TabEvent windowOpened(std::int64_t windowID) { return {WindowOpened{windowID}}; }
    static TabEvent windowClosed(std::int64_t windowID) { return {WindowClosed{windowID}}; }
    static TabEvent tabCreated(const OndrakeID &id) { return {TabCreated{id}}; }
    static TabEvent tabClosed(const OndrakeID &id) { return {TabClosed{id}}; }
    static TabEvent tabActivated(const OndrakeID &id) { return {TabActivated{id}}; }
    static TabEvent tabDeactivated(const OndrakeID &id) { return {TabDeactivated{id}}; }
    static TabEvent urlChanged(const OndrakeID &id, std::optional<QString> from, std::optional<QString> to) {
        return {URLChanged{id, std::move(from), std::move(to)}};
    }
    static TabEvent titleChanged(const OndrakeID &id, QString from, QString to) {
        return {TitleChanged{id, std::move(from), std::move(to)}};
    }
    static TabEvent tabMovedToWindow(const OndrakeID &id, std::int64_t from, std::int64_t to) {
        return {TabMovedToWindow{id, from, to}};
    }
    static TabEvent tabReordered(const OndrakeID &id, std::int64_t from, std::int64_t to) {
        return {TabReordered{id, from, to}};
    }
    static TabEvent parentChanged(const OndrakeID &id, std::optional<OndrakeID> from, std::optional<OndrakeID> to) {
        return {ParentChanged{id, from, to}};
    }

    template<typename Case>
    bool is() const { return std::holds_alternative<Case>(payload); }
    template<typename Case>
    const Case *as() const { return std::get_if<Case>(&payload); }

    // The tab the event is about; none for the window events.
    std::optional<OndrakeID> tabID() const;

    bool operator==(const TabEvent &) const = default;
};

}  // namespace ondrake
