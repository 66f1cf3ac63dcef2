// The settings file parser (zentrada.conf) and the driver library's "Log"
// value (InterfaceTorva.conf) over any text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/posix/settings.h"

using namespace zentrada::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    StoredSettings defaults;
    defaults.inputDirectory = "/in";
    defaults.outputDirectory = "/out";
    const StoredSettings settings = ParseSettingsText(text, defaults);
    // A directory is the defaults' or a value of the text: never empty,
    // never longer than the text, never blank at its ends.
    for (const std::string* directory : {&settings.inputDirectory, &settings.outputDirectory}) {
        FUZZ_CHECK(!directory->empty());
        if (*directory == "/in" || *directory == "/out") continue;
        FUZZ_CHECK(directory->size() <= size);
        FUZZ_CHECK(text.find(*directory) != std::string_view::npos);
        const char ends[] = {directory->front(), directory->back()};
        for (char c : ends) FUZZ_CHECK(c != ' ' && c != '\t' && c != '\r' && c != '\n');
    }
    // A line appended to the text wins over every line before it.
    const std::string appended = std::string(text) + "\nworkdirectoryin = /last \n";
    FUZZ_CHECK(ParseSettingsText(appended, defaults).inputDirectory == "/last");

    const std::int32_t level = ParseDriverLogSetting(text);
    const std::int32_t last = ParseDriverLogSetting(std::string(text) + "\nLog=" + std::to_string(level) + "\n");
    FUZZ_CHECK(last == level);
    return 0;
}
