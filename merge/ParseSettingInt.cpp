#include "merge/ParseSettingInt.h"

#include <string>

namespace merge {

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

std::optional<std::int32_t> TryParseSettingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::string_view rest = text.substr(i);
    if (rest.empty())
        return std::nullopt;

    std::size_t prefix = 0;
    if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')
        prefix = 1;
    else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        prefix = 2;

    if (prefix != 0) {
        std::string_view digits = rest.substr(prefix);
        if (digits.empty())
            return std::nullopt;
        std::uint32_t value = 0;
        int significant = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return std::nullopt;
            if (significant > 0 || d != 0)
                ++significant;
            if (significant > 8)
                return std::nullopt;
            value = (value << 4) | static_cast<std::uint32_t>(d);
        }
        return static_cast<std::int32_t>(value);
    }

    bool negative = false;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty())
        return std::nullopt;
    // Accumulate the magnitude; 2147483648 is allowed only with a minus sign.
    std::uint64_t magnitude = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (magnitude > 2147483648ull)
            return std::nullopt;
    }
    if (!negative && magnitude > 2147483647ull)
        return std::nullopt;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                    : static_cast<std::int32_t>(magnitude);
}

std::int32_t ParseSettingInt(std::string_view text) {
    std::optional<std::int32_t> value = TryParseSettingInt(text);
    if (!value)
        throw SettingParseError("\"" + std::string(text) + "\" is not a valid integer");
    return *value;
}

}  // namespace merge
