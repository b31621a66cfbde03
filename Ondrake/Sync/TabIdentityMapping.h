#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QHash>
#include <QString>

namespace ondrake {

// Session tab id ("tab-" and a serial) to the persistent identity of the tab's record.
using TabIdentityMapping = QHash<QString, OndrakeID>;

}  // namespace ondrake
