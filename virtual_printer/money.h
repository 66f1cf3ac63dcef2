// Amounts and quantities as the printer takes and shows them: Brazilian
// text with a decimal comma ("10,00", "1,500"), kept as whole cents and
// thousandths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentrada::virtual_printer {

using Cents = std::int64_t;
using Milli = std::int64_t;  // thousandths of a unit

// "1234,5" or "1.234,50" or "12" (a dot before three digits groups
// thousands, else it is the decimal point); nothing for anything else.
std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals);
inline std::optional<Cents> ParseMoney(std::string_view text) { return ParseDecimal(text, 2); }
inline std::optional<Milli> ParseQuantity(std::string_view text) { return ParseDecimal(text, 3); }

std::string FormatDecimal(std::int64_t value, int decimals);
inline std::string FormatMoney(Cents value) { return FormatDecimal(value, 2); }
inline std::string FormatQuantity(Milli value) { return FormatDecimal(value, 3); }

// price x quantity, rounded to the cent (half up).
inline Cents Times(Cents price, Milli quantity) { return (price * quantity + 500) / 1000; }
// a percentage given in hundredths of a percent, rounded to the cent.
inline Cents Percent(Cents base, std::int64_t hundredths) { return (base * hundredths + 5000) / 10000; }

}  // namespace zentrada::virtual_printer
