// An input directory held by one agent alone. Two agents taking files from
// one directory would both run the same file; the second one to claim it is
// refused for as long as the first holds it, whichever program each is.
#pragma once

#include <cstdint>
#include <string>

namespace zentrada::platform {

class DirectoryClaim {
public:
    DirectoryClaim() = default;
    ~DirectoryClaim() { Release(); }
    DirectoryClaim(const DirectoryClaim&) = delete;
    DirectoryClaim& operator=(const DirectoryClaim&) = delete;

    // Holds `directory`, letting go of any other one first. False when
    // another agent holds it; a directory that cannot be opened is not held
    // and is tried again at the next call.
    bool Claim(const std::string& directory);
    void Release();

private:
    std::string directory_;
    std::intptr_t handle_ = -1;  // the OS's descriptor or handle while held
};

}  // namespace zentrada::platform
