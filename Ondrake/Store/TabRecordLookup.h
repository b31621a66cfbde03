#pragma once

#include "Ondrake/Model/TabRecord.h"

#include <QString>

#include <functional>

namespace ondrake {

// The record bound to a browser tab's session id, or null. The store answers it from its
// published records; the pointer is only read during the call that was handed the lookup.
using TabRecordLookup = std::function<const TabRecord *(const QString &sessionTabID)>;

}  // namespace ondrake
