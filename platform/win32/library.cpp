#include <windows.h>

#include "platform/platform.h"

namespace zentrada::platform {

void* LoadSharedLibrary(const std::string& file) {
    return reinterpret_cast<void*>(LoadLibraryA(file.c_str()));
}

void* FindSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// The bare name: Windows looks in the executable's directory first, then in
// the system directories and the PATH.
std::string DefaultDriverLibrary() { return "InterfaceTorva.dll"; }

}  // namespace zentrada::platform
