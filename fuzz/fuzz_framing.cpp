// The TCP channel's framing: the items a connection's bytes make do not
// depend on how the bytes were cut into reads; every request framed is
// whole as a command file is whole (its marker as the file path reads it),
// within the bounds, and taken from the bytes in their order; nothing is
// framed after a bound bites.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/intake.h"
#include "engine/request_framer.h"
#include "engine/text_file.h"
#include "fuzz_check.h"

using namespace zentrada::engine;

namespace {

using Items = std::vector<RequestFramer::Item>;

// Small bounds, so inputs of a few hundred bytes reach them.
constexpr FramingLimits kLimits{300, 80};

Items Frame(std::string_view bytes, std::string_view cuts) {
    RequestFramer framer(kLimits);
    Items items;
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        const std::size_t size = cuts.empty() ? bytes.size() : 1 + static_cast<unsigned char>(cuts[i % cuts.size()]) % 16;
        framer.Feed(bytes.substr(at, size), items);
        at += size;
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first bytes up to a NUL say where the reads end; the rest is sent.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto nul = input.find('\0');
    const std::string_view cuts = nul == std::string_view::npos ? std::string_view{} : input.substr(0, nul);
    const std::string_view bytes = nul == std::string_view::npos ? input : input.substr(nul + 1);

    const Items whole = Frame(bytes, {});
    const Items pieces = Frame(bytes, cuts.empty() ? std::string_view("\x00", 1) : cuts);
    FUZZ_CHECK(whole.size() == pieces.size());
    std::size_t from = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const RequestFramer::Item& item = whole[i];
        FUZZ_CHECK(item.kind == pieces[i].kind && item.text == pieces[i].text);
        const bool broken = item.kind == RequestFramer::Kind::Oversized ||
                            item.kind == RequestFramer::Kind::LineTooLong ||
                            item.kind == RequestFramer::Kind::CutByCtrlZ;
        FUZZ_CHECK(!broken || i + 1 == whole.size());
        if (item.kind != RequestFramer::Kind::Request) continue;
        FUZZ_CHECK(item.text.size() <= kLimits.maxRequestBytes);
        FUZZ_CHECK(HasEndMarker(FoldTextMode(item.text)));
        // It ends with its end line, line feed included: nothing of the next
        // request's bytes is in it.
        const std::string_view text = item.text;
        FUZZ_CHECK(text.ends_with('\n'));
        const std::string_view lines = text.substr(0, text.size() - 1);
        const auto start = lines.rfind('\n');
        FUZZ_CHECK(IsRequestEndLine(lines.substr(start == std::string_view::npos ? 0 : start + 1)));
        const auto found = bytes.find(item.text, from);
        FUZZ_CHECK(found != std::string_view::npos);
        from = found + item.text.size();
    }
    return 0;
}
