// The agent log as the log viewer shows it.
#pragma once

#include <string>
#include <string_view>

namespace zentrada::shell {

// The log's bytes as an edit box shows them: every line ends with CR LF
// (the log's CR CR LF endings become one line break, a bare LF one too),
// and a NUL, which would end the box's text, shows as a blank. Nothing of
// the file is left out. Empty when the file cannot be read.
std::string LogTextForViewer(const std::string& path);
std::string LogTextForViewerFromBytes(std::string_view bytes);

}  // namespace zentrada::shell
