// File names: the ".bad" name of an abandoned file, base names, response
// file names, the command file test and the stamp, for any name and any
// last-write time, in range or not.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <string>

#include "engine/intake.h"
#include "engine/response_writer.h"
#include "fuzz_check.h"

using namespace zentrada;

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

platform::LocalTime TimeFrom(FuzzedDataProvider& input, bool inRange) {
    const auto field = [&](int low, int high) {
        return inRange ? input.ConsumeIntegralInRange(low, high) : input.ConsumeIntegral<int>();
    };
    platform::LocalTime t;
    t.year = field(0, 9999);
    t.month = field(1, 12);
    t.day = field(1, 31);
    t.hour = field(0, 23);
    t.minute = field(0, 59);
    t.second = field(0, 60);
    t.millisecond = field(0, 999);
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool inRange = input.ConsumeBool();
    const bool simpleMode = input.ConsumeBool();
    const platform::LocalTime t = TimeFrom(input, inRange);
    const std::string name = input.ConsumeRemainingBytesAsString();

    // An abandoned file's new name keeps the name up to its first dot past
    // any leading dots, ends with ".bad", and is never taken as a command
    // file again.
    const std::string bad = engine::AbandonedName(name, t);
    const auto firstNonDot = name.find_first_not_of('.');
    const std::string kept =
        name.substr(0, firstNonDot == std::string::npos ? std::string::npos : name.find('.', firstNonDot));
    FUZZ_CHECK(bad != name);
    FUZZ_CHECK(bad.compare(0, kept.size() + 1, kept + "_") == 0);
    FUZZ_CHECK(EndsWith(bad, ".bad"));
    FUZZ_CHECK(!engine::IsCommandFileName(bad, false) && !engine::IsCommandFileName(bad, true));

    // The base name is the name before its last dot.
    const std::string base = engine::BaseName(name);
    FUZZ_CHECK(name.compare(0, base.size(), base) == 0);
    FUZZ_CHECK(base.size() == name.size() || name[base.size()] == '.');

    // The stamp is YYYYMMDD_HHMMSS for a time in range.
    const std::string stamp = engine::FormatStamp(t);
    if (inRange) {
        FUZZ_CHECK(stamp.size() == 15 && stamp[8] == '_');
        for (std::size_t i = 0; i < stamp.size(); ++i)
            FUZZ_CHECK(i == 8 || std::isdigit(static_cast<unsigned char>(stamp[i])));
        FUZZ_CHECK(bad.size() == kept.size() + 25);
    }

    // A response file is never a command file.
    const std::string response = engine::ResponseFileName(base, stamp, simpleMode);
    FUZZ_CHECK(EndsWith(response, ".fpo"));
    FUZZ_CHECK(response.compare(0, base.size(), base) == 0);
    FUZZ_CHECK(!engine::IsCommandFileName(response, simpleMode));

    // The simplified mode takes a subset of what the normal mode takes.
    if (engine::IsCommandFileName(name, true)) FUZZ_CHECK(engine::IsCommandFileName(name, false));
    return 0;
}
