#include "StoreStartup.h"

#include "Ondrake/Model/LegacyIdentity.h"

namespace ondrake {

TabRecordFileStore openRecordFileStore(const Paths &paths, UserDefaults &standardDefaults) {
    static const bool carriedOver = [&] {
        LegacyIdentity::migrateFromLegacyIdentity(paths, standardDefaults);
        return true;
    }();
    (void)carriedOver;
    return TabRecordFileStore(paths, Logger(QStringLiteral("Persistence")));
}

}  // namespace ondrake
