// `zentrada --send HOST:PORT FILE...`: command files sent over the TCP
// channel, one request each, their answers written as response files of the
// output directory (--out) or to standard output.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zentrada::shell {

// The exit status: 0 when every file was answered.
int SendCommandFiles(const std::string& address, const std::vector<std::string>& files,
                     const std::optional<std::string>& outputDirectory);

}  // namespace zentrada::shell
