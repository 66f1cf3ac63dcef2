// The command line reader: the option block at the head of a command file,
// then one command line at a time, with the physical line number that every
// response record names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/catalogue.h"
#include "commands/command_line.h"

namespace zentrada::engine {

inline constexpr std::size_t kOptionPieceChars = 1023;
inline constexpr std::size_t kCommandPieceChars = 2998;

// Position of a field split over one line.
struct FieldCursor {
    std::string_view text;
    std::size_t position = 0;
};

// The next field of the cursor's text up to `separator`; none once nothing is
// left. "A|B||C|" gives A, B, an empty field, C, then none.
std::optional<std::string_view> SplitField(FieldCursor& cursor, char separator);

// One command line's name and parameters (at most 30; further fields are
// dropped). Text after the last "|" is dropped; none for an empty line.
std::optional<commands::CommandLine> ParseCommandLine(std::string_view line);

struct FileOptions {
    bool checkOnly = false;    // "/PRE"
    bool stopOnError = true;   // cleared by "/NOSTOP"
};

// What a physical line of a command file is to the reader.
enum class LineKind {
    Option,              // "/" in the option block
    Comment,             // ";", anywhere
    OptionOutsideBlock,  // "/" after the block: skipped without effect
    Empty,               // nothing but blanks after the block
    Command,             // a name and its parameters
};

// One line of a command file as the reader numbers and judges it.
struct FileLine {
    std::int32_t number = 0;
    LineKind kind = LineKind::Command;
    // The piece read, blanks trimmed from both ends; empty for a command
    // line, which is kept as its name and parameters in `command`.
    std::string text;
    commands::CommandLine command;
    // A command line's catalogue entry, looked up once when the line is
    // read; none when the name is not catalogued.
    const commands::CatalogueEntry* entry = nullptr;

    std::int32_t Code() const { return entry != nullptr ? entry->code : commands::kNotCatalogued; }
};

// A command file read whole: its options and every line, skipped ones
// included, in order.
struct CommandFile {
    FileOptions options;
    std::vector<FileLine> lines;
};
CommandFile ReadCommandFile(std::string_view text);

class CommandFileReader {
public:
    // `text` is the file's content as text mode reads it.
    explicit CommandFileReader(std::string text);

    // Rewinds, applies the option block's options to `options` (never resets
    // them) and stops before the first line after the block; the block's
    // lines go to `block` when given.
    void ReadOptions(FileOptions& options, std::vector<FileLine>* block = nullptr);
    // The next line after the option block, whatever its kind; none at the
    // end of the file.
    std::optional<FileLine> ReadNextLine();
    // The next command line, skipping comment, option and empty lines; false
    // at the end of the file, with an empty name.
    bool ReadNextCommandLine(commands::CommandLine& line);

    std::int32_t LineNumber() const { return lineNumber_; }
    // Where in the text the next read starts.
    std::size_t Position() const { return position_; }
    void ResetLineNumber() { lineNumber_ = 0; }

private:
    std::string text_;
    std::size_t position_ = 0;
    std::int32_t lineNumber_ = 0;
};

}  // namespace zentrada::engine
