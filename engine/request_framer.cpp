#include "engine/request_framer.h"

#include "engine/intake.h"
#include "engine/text_file.h"

namespace zentrada::engine {

bool IsRequestEndLine(std::string_view line) {
    // Text mode folds the CR of a CR LF; the marker is then cut at a blank.
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line.starts_with('.') && line.find_first_not_of(' ', 1) == std::string_view::npos;
}

void RequestFramer::Feed(std::string_view bytes, std::vector<Item>& items) {
    while (!bytes.empty() && !broken_) {
        const auto end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (line_.size() + piece.size() > limits_.maxLineBytes) {
            broken_ = true;
            items.push_back({Kind::LineTooLong, {}});
            return;
        }
        line_ += piece;
        if (end == std::string_view::npos) return;
        bytes.remove_prefix(end + 1);
        EndLine(items);
    }
}

void RequestFramer::EndLine(std::vector<Item>& items) {
    std::string line = std::move(line_);
    line_.clear();
    const bool first = !sawLine_;
    sawLine_ = true;
    std::string_view bare = line;
    if (bare.ends_with('\r')) bare.remove_suffix(1);
    if (request_.empty() && first && bare.starts_with(kTokenLine)) {
        items.push_back({Kind::Token, std::string(bare.substr(kTokenLine.size()))});
        return;
    }
    if (request_.empty() && bare == "?") {
        items.push_back({Kind::Status, {}});
        return;
    }
    if (request_.size() + line.size() + 1 > limits_.maxRequestBytes) {
        broken_ = true;
        request_.clear();
        items.push_back({Kind::Oversized, {}});
        return;
    }
    request_ += line;
    request_ += '\n';
    if (!IsRequestEndLine(line)) return;
    // The bytes run are the bytes a file would be run with: one a Ctrl-Z
    // ends before its marker would never be taken.
    if (!HasEndMarker(FoldTextMode(request_))) {
        broken_ = true;
        request_.clear();
        items.push_back({Kind::CutByCtrlZ, {}});
        return;
    }
    items.push_back({Kind::Request, std::move(request_)});
    request_.clear();
}

}  // namespace zentrada::engine
