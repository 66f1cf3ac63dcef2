// The end marker: decided from the whole text (HasEndMarker of the folded
// bytes) and from the file's end only (EndsWithMarker over ranged reads),
// the two verdicts must agree on every file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/intake.h"
#include "engine/text_file.h"
#include "fuzz_check.h"

using namespace zentrada::engine;

namespace {

// The file an input stands for. Its bytes are taken as they are, but for
// byte 255 followed by k and c, which stands for c repeated k * 512 times:
// a few input bytes make files past the 64 KiB chunks EndsWithMarker reads
// in, with a line feed, CR or Ctrl-Z on either side of a chunk's edge.
// Repeats stop a little past one chunk, so that every run stays quick.
std::string Expand(std::string_view input) {
    constexpr std::size_t kMaxRepeated = 65536 + 4096;
    std::string file;
    std::size_t repeated = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (static_cast<unsigned char>(input[i]) == 255 && i + 2 < input.size()) {
            const std::size_t count =
                std::min(static_cast<unsigned char>(input[i + 1]) * std::size_t{512}, kMaxRepeated - repeated);
            file.append(count, input[i + 2]);
            repeated += count;
            i += 2;
        } else {
            file += input[i];
        }
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = Expand(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool whole = HasEndMarker(FoldTextMode(bytes));

    // Reads as a file of these bytes gives them: up to `count` bytes, fewer
    // at the end, nothing from past it.
    const ReadRange read = [&](std::uint64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset > bytes.size()) return std::nullopt;
        return bytes.substr(static_cast<std::size_t>(offset), count);
    };
    const bool fromEnd = EndsWithMarker(bytes.size(), read);
    FUZZ_CHECK(whole == fromEnd);
    return 0;
}
