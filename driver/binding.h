// The resolved entry points of the driver library, one slot per name of the
// entry point list. An empty slot means the library lacks that function; it
// must never be called.
#pragma once

#include <string>
#include <vector>

#include "driver/entry_points.h"

namespace zentrada::driver {

struct DriverBinding {
#define ZENTRADA_DRIVER_SLOT(name, ...) DriverFunction<__VA_ARGS__> name = nullptr;
    ZENTRADA_DRIVER_ENTRY_POINTS(ZENTRADA_DRIVER_SLOT)
#undef ZENTRADA_DRIVER_SLOT
};

struct LoadResult {
    bool loaded = false;
    // Names the library lacks, in lookup order.
    std::vector<const char*> missing;
};

// Loads the library file and resolves every entry point into `binding`.
// The library is never unloaded.
LoadResult LoadDriverLibrary(const std::string& file, DriverBinding& binding);

// Every entry point name, in lookup order.
const std::vector<const char*>& EntryPointNames();

}  // namespace zentrada::driver
