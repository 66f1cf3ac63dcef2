#include "commands/catalogue.h"

#include "commands/ascii.h"
#include "commands/families.h"

namespace zentrada::commands {
namespace {

std::vector<CatalogueEntry> BuildCatalogue() {
    std::vector<CatalogueEntry> entries{{"TORVA_Serial_Obter_Estado_Com", kSerialStatusCode}};
    for (const Family& family : Families())
        for (const CommandRow& row : family.rows()) entries.push_back({row.name, row.code});
    entries.push_back({".", kEndMarkerCode});
    return entries;
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
    static const std::vector<CatalogueEntry> entries = BuildCatalogue();
    return entries;
}

std::int32_t LookupCommandCode(std::string_view name) {
    for (const CatalogueEntry& entry : Catalogue())
        if (entry.name == name) return entry.code;
    for (const CatalogueEntry& entry : Catalogue())
        if (EqualIgnoringAsciiCase(entry.name, name)) return entry.code;
    return kNotCatalogued;
}

const CommandRow* FindCommandRow(std::int32_t code) {
    for (const Family& family : Families())
        for (const CommandRow& row : family.rows())
            if (row.code == code) return &row;
    return nullptr;
}

}  // namespace zentrada::commands
