#include "commands/reference.h"

#include "commands/families.h"

namespace zentrada::commands {

std::string KindName(const KindSpec& kind) {
    switch (kind.id) {
        case KindId::Text: return "text";
        case KindId::Int: return "int";
        case KindId::Bool: return "bool";
        case KindId::Char: return "char";
        case KindId::Out: return "out[" + std::to_string(kind.size) + "]";
        case KindId::OutInt: return "out-int";
        case KindId::OutFlag: return "out-flag";
    }
    return "?";
}

namespace {

std::string Join(const std::vector<std::string>& items, const char* empty) {
    if (items.empty()) return empty;
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string Row(const CommandRow& row) {
    if (row.rule == RowRule::NeverExecuted)
        return "| " + std::to_string(row.code) + " | `" + row.name + "` | never executed | | 3 (wrong parameter count) |\n";
    std::vector<std::string> parameters, call, response{"status"};
    for (int i = 0; i < row.kindCount; ++i) {
        const std::string kind = KindName(row.kinds[i]);
        if (IsParameter(row.kinds[i].id)) {
            parameters.push_back(kind);
            call.push_back(std::string("p").append(std::to_string(parameters.size())));
        } else {
            call.push_back(kind);
            response.push_back(kind);
        }
    }
    // The driver's argument order matters only where outputs and parameters mix.
    const std::string callText = response.size() > 1 && !parameters.empty() ? Join(call, "") : "";
    return "| " + std::to_string(row.code) + " | `" + row.name + "` | " + Join(parameters, "none") + " | " +
           callText + " | " + Join(response, "") + " |\n";
}

}  // namespace

std::string CommandReference() {
    std::string text;
    for (const Family& family : Families()) {
        text += "\n### " + std::string(family.title) + " (" + std::to_string(family.firstCode);
        if (family.lastCode != family.firstCode) text.append("-").append(std::to_string(family.lastCode));
        text += ")\n\n| Code | Command | Parameters | Driver arguments | Response |\n|---|---|---|---|---|\n";
        for (const CommandRow& row : family.rows()) text += Row(row);
    }
    return text;
}

}  // namespace zentrada::commands
