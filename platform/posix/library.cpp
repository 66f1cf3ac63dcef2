#include <dlfcn.h>

#include "platform/platform.h"

namespace zentrada::platform {

void* LoadSharedLibrary(const std::string& file) { return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

std::string DefaultDriverLibrary() {
    constexpr char kName[] = "libInterfaceTorva.so";
    const std::string beside = JoinPath(ExecutableDirectory(), kName);
    return FileExists(beside) ? beside : kName;
}

}  // namespace zentrada::platform
