#include "engine/reader.h"

#include <algorithm>

#include "commands/ascii.h"
#include "commands/catalogue.h"
#include "engine/text_file.h"

namespace zentrada::engine {
namespace {

std::string_view Trim(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::optional<std::string_view> SplitField(FieldCursor& cursor, char separator) {
    const std::string_view text = cursor.text;
    if (cursor.position >= text.size()) return std::nullopt;
    const auto end = text.find(separator, cursor.position);
    const std::size_t fieldEnd = end == std::string_view::npos ? text.size() : end;
    std::string_view field = text.substr(cursor.position, fieldEnd - cursor.position);
    cursor.position = std::min(text.size(), fieldEnd + 1);
    return field;
}

std::optional<commands::CommandLine> ParseCommandLine(std::string_view line) {
    const auto lastBar = line.rfind('|');
    if (lastBar != std::string_view::npos) line = line.substr(0, lastBar + 1);
    FieldCursor cursor{line};
    const auto name = SplitField(cursor, '|');
    if (!name) return std::nullopt;
    commands::CommandLine command;
    command.name = *name;
    // One parameter per "|" after the name, up to the limit.
    const std::string_view rest = line.substr(cursor.position);
    const auto bars = static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '|'));
    command.params.reserve(std::min(bars, static_cast<std::size_t>(commands::kMaxParameters)));
    while (command.ParamCount() < commands::kMaxParameters) {
        const auto field = SplitField(cursor, '|');
        if (!field) break;
        command.params.emplace_back(*field);
    }
    return command;
}

CommandFileReader::CommandFileReader(std::string text) : text_(std::move(text)) {}

void CommandFileReader::ReadOptions(FileOptions& options, std::vector<FileLine>* block) {
    PieceReader pieces(text_);
    for (;;) {
        const std::size_t start = pieces.Position();
        const auto piece = pieces.Next(kOptionPieceChars);
        if (!piece) break;
        ++lineNumber_;
        // Only blanks and tabs are trimmed here: a bare line feed is an empty
        // line, which ends the option block.
        const std::string_view line = Trim(*piece, " \t");
        const bool option = !line.empty() && line[0] == '/';
        if (option) {
            const std::string upper = commands::AsciiUpper(line);
            if (upper.find("/PRE") != std::string::npos) options.checkOnly = true;
            if (upper.find("/NOSTOP") != std::string::npos) options.stopOnError = false;
        }
        if (option || (!line.empty() && line[0] == ';')) {
            if (block != nullptr)
                block->push_back({lineNumber_, option ? LineKind::Option : LineKind::Comment,
                                  std::string(Trim(line, " \t\r\n")), {}, nullptr});
            continue;
        }
        --lineNumber_;
        pieces.Seek(start);
        break;
    }
    position_ = pieces.Position();
}

std::optional<FileLine> CommandFileReader::ReadNextLine() {
    PieceReader pieces(text_);
    pieces.Seek(position_);
    const auto piece = pieces.Next(kCommandPieceChars);
    position_ = pieces.Position();
    if (!piece) return std::nullopt;
    const std::string_view text = Trim(*piece, " \t\r\n");
    FileLine line{++lineNumber_, LineKind::Empty, {}, {}, nullptr};
    if (text.starts_with('/')) {
        line.kind = LineKind::OptionOutsideBlock;
        line.text = text;
    } else if (text.starts_with(';')) {
        line.kind = LineKind::Comment;
        line.text = text;
    } else if (auto parsed = ParseCommandLine(text)) {
        line.kind = LineKind::Command;
        line.command = std::move(*parsed);
        line.entry = commands::LookupCommand(line.command.name);
    }
    return line;
}

bool CommandFileReader::ReadNextCommandLine(commands::CommandLine& command) {
    command = {};
    while (auto line = ReadNextLine()) {
        if (line->kind != LineKind::Command) continue;
        command = std::move(line->command);
        return true;
    }
    return false;
}

CommandFile ReadCommandFile(std::string_view text) {
    CommandFile file;
    CommandFileReader reader{std::string(text)};
    reader.ReadOptions(file.options, &file.lines);
    while (auto line = reader.ReadNextLine()) file.lines.push_back(std::move(*line));
    return file;
}

}  // namespace zentrada::engine
