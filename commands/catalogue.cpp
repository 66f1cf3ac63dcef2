#include "commands/catalogue.h"

#include "commands/ascii.h"
#include "commands/families.h"
#include "commands/frame.h"

namespace zentrada::commands {
namespace {

std::vector<CatalogueEntry> BuildCatalogue() {
    std::vector<CatalogueEntry> entries{{"TORVA_Serial_Obter_Estado_Com", kSerialStatusCode, nullptr}};
    for (const Family& family : Families())
        for (const CommandRow& row : family.rows()) entries.push_back({row.name, row.code, &row});
    entries.push_back({".", kEndMarkerCode, nullptr});
    return entries;
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
    static const std::vector<CatalogueEntry> entries = BuildCatalogue();
    return entries;
}

const CatalogueEntry* LookupCommand(std::string_view name) {
    const CatalogueEntry* caseless = nullptr;
    for (const CatalogueEntry& entry : Catalogue()) {
        if (entry.name.size() != name.size()) continue;
        if (entry.name == name) return &entry;
        if (caseless == nullptr && EqualIgnoringAsciiCase(entry.name, name)) caseless = &entry;
    }
    return caseless;
}

std::int32_t RunEntry(const CatalogueEntry& entry, const std::vector<std::string>& params,
                      CommandContext& context) {
    if (entry.row != nullptr) return RunCommand(*entry.row, context, params);
    return entry.code == kEndMarkerCode ? 0 : -1;
}

}  // namespace zentrada::commands
