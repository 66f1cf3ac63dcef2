#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "commands/ascii.h"
#include "commands/catalogue.h"
#include "commands/conversions.h"
#include "commands/families.h"

namespace zentrada::commands {
namespace {

// The code of the entry a name looks up, 0 when none.
std::int32_t Code(std::string_view name) {
    const CatalogueEntry* entry = LookupCommand(name);
    return entry != nullptr ? entry->code : kNotCatalogued;
}

TEST(LookupTest, LetterCaseOfAsciiLettersIsIgnored) {
    EXPECT_EQ(Code("TORVA_Fiscal_Abrir_Cupom"), 100);
    EXPECT_EQ(Code("torva_fiscal_abrir_cupom"), 100);
    EXPECT_EQ(Code("TORVA_FISCAL_ABRIR_CUPOM"), 100);
    EXPECT_EQ(Code("TORVA_Sys_Log"), 905);
    EXPECT_EQ(Code("TORVA_Serial_Obter_Estado_Com"), 3);
}

TEST(LookupTest, EveryOtherByteMustMatch) {
    EXPECT_EQ(Code("TORVA_Fiscal_Abrir_Cupom "), 0);
    EXPECT_EQ(Code(" TORVA_Fiscal_Abrir_Cupom"), 0);
    EXPECT_EQ(Code(""), 0);
    EXPECT_EQ(Code("TORVA_Fiscal_Abrir_Cup\xF3m"), 0);
    EXPECT_EQ(Code("TORVA_Serial_Abrir_PortaEX"), 0);  // an entry point, not a command
}

TEST(LookupTest, EndMarker) {
    EXPECT_EQ(Code("."), 2400);
    EXPECT_EQ(Code(".."), 0);
    EXPECT_EQ(Code(". x"), 0);
}

TEST(LookupTest, ExactCaseReachesTheNamesThatDifferOnlyInCase) {
    EXPECT_EQ(Code("TORVA_Fiscal_Fechar_CupomEX"), 120);
    EXPECT_EQ(Code("TORVA_Fiscal_Fechar_CupomEx"), 123);
    EXPECT_EQ(Code("TORVA_FISCAL_FECHAR_CUPOMEX"), 120);
    EXPECT_EQ(Code("torva_fiscal_fechar_cupomex"), 120);
    EXPECT_EQ(Code("TORVA_RelatorioFiscal_RZEX"), 302);
    EXPECT_EQ(Code("TORVA_RelatorioFiscal_RZEx"), 308);
    EXPECT_EQ(Code("TORVA_RELATORIOFISCAL_RZEx"), 302);
}

// The lookup finds what a scan of the catalogue in order finds: the name
// as written, else the first that matches but for letter case.
TEST(LookupTest, FindsWhatAScanInCatalogueOrderFinds) {
    const auto scan = [](std::string_view name) -> const CatalogueEntry* {
        for (const CatalogueEntry& entry : Catalogue())
            if (entry.name == name) return &entry;
        for (const CatalogueEntry& entry : Catalogue())
            if (EqualIgnoringAsciiCase(entry.name, name)) return &entry;
        return nullptr;
    };
    for (const CatalogueEntry& entry : Catalogue()) {
        std::string lower(entry.name);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& name : {std::string(entry.name), AsciiUpper(entry.name), lower,
                                        std::string(entry.name) + "X", std::string(entry.name.substr(1))})
            EXPECT_EQ(LookupCommand(name), scan(name)) << name;
    }
}

TEST(CatalogueTest, HoldsEveryCodeOfEveryRangeOnce) {
    std::set<std::int32_t> codes;
    for (const CatalogueEntry& entry : Catalogue()) {
        EXPECT_TRUE(codes.insert(entry.code).second) << entry.code;
        EXPECT_EQ(LookupCommand(entry.name), &entry) << entry.name;
    }
    EXPECT_EQ(codes.size(), 194u);
    for (const Family& family : Families())
        for (std::int32_t code = family.firstCode; code <= family.lastCode; ++code)
            EXPECT_TRUE(codes.count(code)) << code;
}

// A name leads straight to the row that runs it; only the end marker and the
// serial status code have none.
TEST(CatalogueTest, EachEntryHoldsItsOwnRow) {
    for (const CatalogueEntry& entry : Catalogue()) {
        if (entry.code == kEndMarkerCode || entry.code == kSerialStatusCode) {
            EXPECT_EQ(entry.row, nullptr) << entry.name;
            continue;
        }
        ASSERT_NE(entry.row, nullptr) << entry.name;
        EXPECT_EQ(entry.row->code, entry.code);
        EXPECT_EQ(entry.row->name, entry.name);
    }
}

TEST(ConversionTest, DecimalRule) {
    EXPECT_EQ(ParseDecimal("12abc"), 12);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal(" -5"), -5);
    EXPECT_EQ(ParseDecimal("\t\n+7"), 7);
    EXPECT_EQ(ParseDecimal("4294967297"), 1);
    EXPECT_EQ(ParseDecimal("2147483648"), INT32_MIN);
    EXPECT_EQ(ParseDecimal("-"), 0);
    EXPECT_EQ(ParseDecimal("99999999999999999999999999"), -469762049);
}

TEST(ConversionTest, BooleanWords) {
    for (const char* word : {" sim ", "Verdadeiro", "s", "1", "T", "true", "v", "Y", "yes", "S"})
        EXPECT_EQ(ParseBooleanWord(word), 1) << word;
    for (const char* word : {"SIMM", "0", "N", "FALSE", "01", "", "\t1", "2", "si m"})
        EXPECT_EQ(ParseBooleanWord(word), 0) << word;
}

TEST(ConversionTest, CharIsTheFirstByte) {
    EXPECT_EQ(ParseChar(""), 0);
    EXPECT_EQ(ParseChar("ABC"), 'A');
    EXPECT_EQ(ParseChar("sim"), 's');
    EXPECT_EQ(ParseChar("\xE9"), 0xE9);
}

}  // namespace
}  // namespace zentrada::commands
