#pragma once

#if defined(SONARCHIVE_BUILDING_LIBRARY)
#define SONARCHIVE_EXPORT __attribute__((visibility("default")))
#else
#define SONARCHIVE_EXPORT
#endif
