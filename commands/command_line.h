// One command line of a command file, as the reader delivers it.
#pragma once

#include <string>
#include <vector>

namespace zentrada::commands {

inline constexpr int kMaxParameters = 30;

struct CommandLine {
    std::string name;
    // The parameters in order, at most kMaxParameters; an empty text is a
    // present (empty) parameter.
    std::vector<std::string> params;

    int ParamCount() const { return static_cast<int>(params.size()); }
};

}  // namespace zentrada::commands
