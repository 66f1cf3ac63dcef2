#pragma once

#include <string>
#include <string_view>

namespace zentrada::platform {

// A fatal message as one terminal line: "title: text", the text's CR LF
// pairs written as plain line feeds.
inline std::string FatalText(std::string_view title, std::string_view text) {
    std::string message(title);
    message += ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        message.push_back(text[i]);
    }
    message.push_back('\n');
    return message;
}

}  // namespace zentrada::platform
