#include "driver/binding.h"

#include "platform/platform.h"

namespace zentrada::driver {
namespace {

template <typename Function>
void Resolve(void* library, const char* name, Function& slot, LoadResult& result) {
    void* symbol = platform::FindSymbol(library, name);
    // Function and object pointers share a representation on every platform
    // the agent runs on; this is how exported functions are reached.
    slot = reinterpret_cast<Function>(symbol);
    if (symbol == nullptr) result.missing.push_back(name);
}

}  // namespace

LoadResult LoadDriverLibrary(const std::string& file, DriverBinding& binding) {
    LoadResult result;
    binding = DriverBinding{};
    void* library = platform::LoadSharedLibrary(file);
    if (library == nullptr) return result;
    result.loaded = true;
#define ZENTRADA_RESOLVE(name, ...) Resolve(library, #name, binding.name, result);
    ZENTRADA_DRIVER_ENTRY_POINTS(ZENTRADA_RESOLVE)
#undef ZENTRADA_RESOLVE
    return result;
}

const std::vector<const char*>& EntryPointNames() {
    static const std::vector<const char*> names = {
#define ZENTRADA_NAME(name, ...) #name,
        ZENTRADA_DRIVER_ENTRY_POINTS(ZENTRADA_NAME)
#undef ZENTRADA_NAME
    };
    return names;
}

}  // namespace zentrada::driver
