#include "engine/text_file.h"

namespace zentrada::engine {

std::string FoldTextMode(std::string_view bytes) {
    const auto ctrlZ = bytes.find('\x1A');
    if (ctrlZ != std::string_view::npos) bytes = bytes.substr(0, ctrlZ);
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i];
    }
    return text;
}

std::optional<std::string_view> PieceReader::Next(std::size_t maxChars) {
    if (position_ >= text_.size()) return std::nullopt;
    std::size_t end = position_;
    while (end < text_.size() && end - position_ < maxChars) {
        if (text_[end++] == '\n') break;
    }
    std::string_view piece = text_.substr(position_, end - position_);
    position_ = end;
    return piece.substr(0, piece.find('\0'));
}

}  // namespace zentrada::engine
