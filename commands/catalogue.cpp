#include "commands/catalogue.h"

#include <algorithm>

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

// A hash of a name with A to Z read as upper case: the names a lookup
// matches share it.
std::uint32_t CaselessHash(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(AsciiUpper(c))) * 16777619u;
    return hash;
}

struct HashedEntry {
    std::uint32_t hash;
    const CatalogueEntry* entry;
    friend bool operator<(const HashedEntry& a, const HashedEntry& b) { return a.hash < b.hash; }
};

// The entries by hash, those of one hash in catalogue order.
std::vector<HashedEntry> BuildIndex() {
    std::vector<HashedEntry> index;
    for (const CatalogueEntry& entry : Catalogue()) index.push_back({CaselessHash(entry.name), &entry});
    std::stable_sort(index.begin(), index.end());
    return index;
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
    static const std::vector<CatalogueEntry> entries = BuildCatalogue();
    return entries;
}

const CatalogueEntry* LookupCommand(std::string_view name) {
    static const std::vector<HashedEntry> index = BuildIndex();
    // Of the entries with the name's hash, in catalogue order: the one that
    // matches exactly, else the first that matches but for letter case.
    const auto [first, last] = std::equal_range(index.begin(), index.end(), HashedEntry{CaselessHash(name), nullptr});
    const CatalogueEntry* caseless = nullptr;
    for (auto it = first; it != last; ++it) {
        if (it->entry->name == name) return it->entry;
        if (caseless == nullptr && EqualIgnoringAsciiCase(it->entry->name, name)) caseless = it->entry;
    }
    return caseless;
}

std::int32_t RunEntry(const CatalogueEntry& entry, const std::vector<std::string>& params,
                      CommandContext& context) {
    if (entry.row != nullptr) return RunCommand(*entry.row, context, params);
    return entry.code == kEndMarkerCode ? 0 : -1;
}

}  // namespace zentrada::commands
