// The command line reader over any file: the option block, then every
// command line to the end, read twice as the checking and execution passes
// of a /PRE file read it; and the field splitter over the raw bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "engine/text_file.h"
#include "fuzz_check.h"

using namespace zentrada;
using engine::CommandFileReader;

namespace {

// The lines of one pass after the option block; checks that every read
// moves on and delivers a well-formed line.
std::vector<commands::CommandLine> ReadPass(CommandFileReader& reader, std::size_t textSize) {
    std::vector<commands::CommandLine> lines;
    commands::CommandLine line;
    for (;;) {
        const std::int32_t lineBefore = reader.LineNumber();
        const std::size_t positionBefore = reader.Position();
        const bool more = reader.ReadNextCommandLine(line);
        FUZZ_CHECK(reader.Position() <= textSize);
        FUZZ_CHECK(reader.Position() >= positionBefore);
        FUZZ_CHECK(reader.LineNumber() >= lineBefore);
        // Each physical line is at least one character of the text.
        FUZZ_CHECK(static_cast<std::size_t>(reader.LineNumber()) <= textSize);
        if (!more) {
            FUZZ_CHECK(reader.Position() == textSize);
            FUZZ_CHECK(line.name.empty() && line.params.empty());
            return lines;
        }
        FUZZ_CHECK(reader.LineNumber() > lineBefore);
        FUZZ_CHECK(reader.Position() > positionBefore);
        FUZZ_CHECK(line.ParamCount() <= commands::kMaxParameters);
        FUZZ_CHECK(line.name.size() <= engine::kCommandPieceChars);
        FUZZ_CHECK(line.name.empty() || (line.name[0] != '/' && line.name[0] != ';'));
        // A field never holds a separator, a line end or a NUL.
        const auto clean = [](const std::string& field) {
            return field.find_first_of(std::string_view("|\n\0", 3)) == std::string::npos;
        };
        FUZZ_CHECK(clean(line.name));
        for (const std::string& param : line.params) FUZZ_CHECK(clean(param));
        lines.push_back(line);
    }
}

// ParseCommandLine keeps the line's fields as written: name and parameters
// joined again give the line up to its last "|" (or the whole line when it
// has none), or a prefix of it ending before a "|" when 30 parameters cut it.
void CheckParse(std::string_view line) {
    const auto parsed = engine::ParseCommandLine(line);
    if (line.empty()) {
        FUZZ_CHECK(!parsed);
        return;
    }
    FUZZ_CHECK(parsed.has_value());
    FUZZ_CHECK(parsed->ParamCount() <= commands::kMaxParameters);
    std::string joined = parsed->name;
    for (const std::string& param : parsed->params) joined += "|" + param;
    const auto lastBar = line.rfind('|');
    if (lastBar == std::string_view::npos) {
        FUZZ_CHECK(joined == line && parsed->params.empty());
    } else if (parsed->ParamCount() < commands::kMaxParameters) {
        FUZZ_CHECK(joined + "|" == line.substr(0, lastBar + 1));
    } else {
        FUZZ_CHECK(line.substr(0, joined.size()) == joined);
        FUZZ_CHECK(joined.size() < line.size() && line[joined.size()] == '|');
    }
}

// SplitField's fields joined by the separator give the text back (less a
// final separator), and the cursor only moves forward.
void CheckSplit(std::string_view text, char separator) {
    engine::FieldCursor cursor{text};
    std::string joined;
    std::size_t fields = 0;
    for (;;) {
        const std::size_t before = cursor.position;
        const auto field = engine::SplitField(cursor, separator);
        if (!field) {
            FUZZ_CHECK(cursor.position == before && before >= text.size());
            break;
        }
        FUZZ_CHECK(cursor.position > before && cursor.position <= text.size());
        FUZZ_CHECK(field->find(separator) == std::string_view::npos);
        if (fields++ > 0) joined += separator;
        joined += *field;
    }
    FUZZ_CHECK(joined == text || joined + separator == text);
    FUZZ_CHECK(fields <= text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = engine::FoldTextMode(bytes);
    FUZZ_CHECK(text.size() <= size);

    CommandFileReader reader(text);
    engine::FileOptions options;
    reader.ReadOptions(options);
    FUZZ_CHECK(reader.Position() <= text.size());
    const std::int32_t optionLines = reader.LineNumber();
    const std::size_t optionEnd = reader.Position();
    const std::vector<commands::CommandLine> first = ReadPass(reader, text.size());

    // The execution pass of a /PRE file reads the options again: the same
    // block, the same lines, the options left as they were.
    const engine::FileOptions after = options;
    reader.ResetLineNumber();
    reader.ReadOptions(options);
    FUZZ_CHECK(reader.LineNumber() == optionLines && reader.Position() == optionEnd);
    FUZZ_CHECK(options.checkOnly == after.checkOnly && options.stopOnError == after.stopOnError);
    const std::vector<commands::CommandLine> second = ReadPass(reader, text.size());
    FUZZ_CHECK(first.size() == second.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        FUZZ_CHECK(first[i].name == second[i].name && first[i].params == second[i].params);

    CheckParse(bytes);
    CheckSplit(bytes, '|');
    if (size > 0) CheckSplit(bytes.substr(1), bytes[0]);
    return 0;
}
