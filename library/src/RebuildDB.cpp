#include "clsSonarchive.h"

namespace sonarchive {

// Reset and rebuild are not built yet: a repair chosen by the user reports failure.
bool clsSonarchive::RestoreDatabaseFile() { return false; }
bool clsSonarchive::ResetiPodDB() { return false; }
bool clsSonarchive::ReBuildDB() { return false; }

}  // namespace sonarchive
