// Amounts and quantities as the printer takes and shows them: Brazilian
// text with a decimal comma and a dot between thousands ("10,00",
// "1.234,50", "1,500"), kept as whole cents and thousandths.
//
// Rounding, the one rule every total follows: a result between two cents
// goes to the nearer one, and exactly half a cent goes away from zero
// (half up). Times and Percent below are the only places that round so;
// Spread shares an amount out without losing or making a cent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrada::virtual_printer {

using Cents = std::int64_t;
using Milli = std::int64_t;  // thousandths of a unit

// "1234,5" or "1.234,50" or "12" (a dot before three digits groups
// thousands, else it is the decimal point); nothing for anything else.
std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals);
inline std::optional<Cents> ParseMoney(std::string_view text) { return ParseDecimal(text, 2); }
inline std::optional<Milli> ParseQuantity(std::string_view text) { return ParseDecimal(text, 3); }

// With a dot between thousands: FormatDecimal(123450, 2) is "1.234,50".
std::string FormatDecimal(std::int64_t value, int decimals);
inline std::string FormatMoney(Cents value) { return FormatDecimal(value, 2); }
inline std::string FormatQuantity(Milli value) { return FormatDecimal(value, 3); }

// numerator / denominator rounded half up (denominator > 0).
inline std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

// price x quantity, rounded to the cent.
inline Cents Times(Cents price, Milli quantity) { return RoundedQuotient(price * quantity, 1000); }
// a percentage given in hundredths of a percent, rounded to the cent.
inline Cents Percent(Cents base, std::int64_t hundredths) { return RoundedQuotient(base * hundredths, 10000); }

// The most a receipt (or an item) may come to, R$ 21.474.836,47, the
// largest price an int parameter carries: below it every product the
// totals take (price x quantity, amount x weight) fits 64 bits.
inline constexpr Cents kLargestReceipt = 2'147'483'647;
// The most of one item, 1.000.000 units.
inline constexpr Milli kLargestQuantity = 1'000'000'000;

// `amount` shared out in proportion to `weights` (each >= 0; |amount| and
// each weight at most kLargestReceipt): each share is its exact part cut to
// the cent, and the cents the cuts left go one each to the shares that lost
// the most by the cut (the first of equals). The shares add up to `amount`,
// and none is larger than its weight while |amount| is not larger than
// the weights' sum. All zero when the weights are.
std::vector<Cents> Spread(Cents amount, const std::vector<Cents>& weights);

}  // namespace zentrada::virtual_printer
