#include <dlfcn.h>

#include "platform/platform.h"

namespace zentrada::platform {

void* LoadSharedLibrary(const std::string& file) { return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

std::string DefaultDriverLibraryName() { return "libInterfaceTorva.so"; }

}  // namespace zentrada::platform
