#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QString>

namespace ondrake::test {

// Fixed identities, readable in failure messages by their last digits.
inline OndrakeID rid(int n) {
    return *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')));
}
inline TabGroupID gid(int n) {
    return *TabGroupID::fromString(QStringLiteral("00000000-0000-0000-0001-%1").arg(n, 12, 10, QLatin1Char('0')));
}

}  // namespace ondrake::test
