#include "TabEvent.h"

namespace ondrake {

std::optional<OndrakeID> TabEvent::tabID() const {
    return std::visit(
        [](const auto &event) -> std::optional<OndrakeID> {
            using Case = std::decay_t<decltype(event)>;
            if constexpr (std::is_same_v<Case, WindowOpened> || std::is_same_v<Case, WindowClosed>) return std::nullopt;
            else return event.id;
        },
        payload);
}

}  // namespace ondrake
