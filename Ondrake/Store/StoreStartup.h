#pragma once

#include "Ondrake/Model/TabRecordFileStore.h"
#include "Paths.h"
#include "UserDefaults.h"

namespace ondrake {

// The record file store the application's tab store loads from. The one-time carry-over from the
// former identity runs first (once per process), so that its record file is the one loaded.
TabRecordFileStore openRecordFileStore(const Paths &paths, UserDefaults &standardDefaults);

}  // namespace ondrake
