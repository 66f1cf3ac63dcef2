#include "virtual_printer/money.h"

namespace zentrada::virtual_printer {

std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t whole = 0, fraction = 0;
    int fractionDigits = 0;
    bool inFraction = false, anyDigit = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            if (!inFraction) {
                if (whole > 1'000'000'000'000LL) return std::nullopt;
                whole = whole * 10 + (c - '0');
            } else if (fractionDigits < decimals) {
                fraction = fraction * 10 + (c - '0');
                ++fractionDigits;
            }
        } else if (c == ',' && !inFraction) {
            inFraction = true;
        } else if (c == '.' && !inFraction) {
            // "1.234" groups thousands when three digits follow and no
            // comma came before; otherwise the dot is the decimal point.
            const std::string_view after = text.substr(i + 1);
            const bool grouping = after.size() >= 3 &&
                                  after.substr(0, 3).find_first_not_of("0123456789") == std::string_view::npos &&
                                  (after.size() == 3 || after[3] == ',' || after[3] == '.');
            if (!grouping) inFraction = true;
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit) return std::nullopt;
    for (; fractionDigits < decimals; ++fractionDigits) fraction *= 10;
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const std::int64_t value = whole * scale + fraction;
    return negative ? -value : value;
}

std::string FormatDecimal(std::int64_t value, int decimals) {
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::string fraction = std::to_string(magnitude % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    const std::string digits = std::to_string(magnitude / scale);
    std::string text = negative ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += '.';
        text += digits[i];
    }
    if (decimals > 0) text.append(",").append(fraction);
    return text;
}

std::vector<Cents> Spread(Cents amount, const std::vector<Cents>& weights) {
    std::vector<Cents> shares(weights.size(), 0), cut(weights.size(), 0);
    Cents sum = 0;
    for (const Cents weight : weights) sum += weight;
    if (sum <= 0) return shares;
    const Cents magnitude = amount < 0 ? -amount : amount;
    Cents left = magnitude;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        shares[i] = magnitude * weights[i] / sum;
        cut[i] = magnitude * weights[i] % sum;
        left -= shares[i];
    }
    // Fewer cents are left than there are weights: one each, largest cut first.
    for (; left > 0; --left) {
        std::size_t largest = 0;
        for (std::size_t i = 1; i < cut.size(); ++i)
            if (cut[i] > cut[largest]) largest = i;
        ++shares[largest];
        cut[largest] = -1;
    }
    if (amount < 0)
        for (Cents& share : shares) share = -share;
    return shares;
}

}  // namespace zentrada::virtual_printer
