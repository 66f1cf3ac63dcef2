// Command files as Windows text mode reads them, and the line pieces a
// bounded line reader delivers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zentrada::engine {

// The text a text-mode read gives of these bytes: each CR LF pair becomes one
// LF, and a Ctrl-Z (byte 26) ends the text.
std::string FoldTextMode(std::string_view bytes);

// Reads a text in pieces as a bounded line read does: a piece ends after its
// line feed or after `maxChars` characters, whichever comes first, so a long
// line comes in several pieces. A NUL ends the piece's text (what follows it
// up to the piece's end is unreadable to a C-string reader).
class PieceReader {
public:
    explicit PieceReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> Next(std::size_t maxChars);
    std::size_t Position() const { return position_; }
    void Seek(std::size_t position) { position_ = position; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace zentrada::engine
