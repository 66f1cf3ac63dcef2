// A named mutex per directory: it exists while any agent holding the
// directory lives, and ends with the process however it ends. The name is a
// hash of the full path in capitals, since Windows paths ignore letter case
// and a mutex name may not hold a backslash.
#include "platform/directory_claim.h"

#include <windows.h>

#include <cstdio>

namespace zentrada::platform {
namespace {

std::string MutexName(const std::string& directory) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(directory.c_str(), sizeof full, full, nullptr);
    std::string path = length > 0 && length < sizeof full ? std::string(full, length) : directory;
    for (char& c : path) {
        if (c == '/') c = '\\';
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : path) hash = (hash ^ c) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "Zentrada-pasta-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

bool DirectoryClaim::Claim(const std::string& directory) {
    if (handle_ != -1 && directory == directory_) return true;
    Release();
    if (directory.empty() || GetFileAttributesA(directory.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(directory).c_str());
    if (mutex == nullptr) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    directory_ = directory;
    return true;
}

void DirectoryClaim::Release() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    directory_.clear();
}

}  // namespace zentrada::platform
