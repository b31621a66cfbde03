#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace ondrake {

// One browser tab after identity resolution.
struct ResolvedTab {
    OndrakeID ondrakeID;
    QString sessionTabID;
    std::int64_t windowID = 0;
    std::int64_t index = 0;
    QString title;
    std::optional<QString> url;  // absolute text
    bool isActive = false;
    std::optional<OndrakeID> parentOndrakeID;

    bool operator==(const ResolvedTab &) const = default;
};

}  // namespace ondrake
