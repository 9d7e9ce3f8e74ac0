#include "spreadsheet/core/NumericDateNotation.h"

namespace spreadsheet {
namespace {

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

std::optional<NumericDateNotation> NumericDateNotation::FromQtFormat(std::u16string_view format) {
    NumericDateNotation notation;
    auto literal = [&]() -> std::u16string& {
        if (notation.tokens_.empty() || notation.tokens_.back().field != 0)
            notation.tokens_.push_back({});
        return notation.tokens_.back().literal;
    };
    for (std::size_t i = 0; i < format.size();) {
        const char16_t c = format[i];
        if (c == u'\'') {
            // Quoted text; '' is a quote.
            std::size_t end = i + 1;
            if (end < format.size() && format[end] == u'\'') {
                literal() += u'\'';
                i = end + 1;
                continue;
            }
            while (end < format.size() && format[end] != u'\'')
                literal() += format[end++];
            i = end + 1;
            continue;
        }
        if (!IsAsciiLetter(c)) {
            literal() += c;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        Token token;
        token.field = c == u'h' ? u'H' : c;
        switch (token.field) {
            case u'y':
                if (run != 2 && run != 4)
                    return std::nullopt;
                token.width = static_cast<int>(run);
                break;
            case u'M':
            case u'd':
            case u'H':
            case u'm':
            case u's':
                if (run > 2)
                    return std::nullopt;  // names of months and days
                token.width = static_cast<int>(run);
                break;
            default:
                return std::nullopt;  // AM/PM, time zones, milliseconds ...
        }
        notation.tokens_.push_back(std::move(token));
        i += run;
    }
    return notation;
}

bool NumericDateNotation::Read(std::u16string_view text, automation::DateTimeParts& parts) const {
    std::size_t at = 0;
    for (const Token& token : tokens_) {
        if (token.field == 0) {
            if (text.substr(at, token.literal.size()) != token.literal)
                return false;
            at += token.literal.size();
            continue;
        }
        int value = 0, digits = 0;
        const int most = token.width == 1 ? 2 : token.width;
        while (digits < most && at < text.size() && IsAsciiDigit(text[at])) {
            value = value * 10 + (text[at] - u'0');
            ++digits;
            ++at;
        }
        if (digits == 0 || (token.width > 1 && digits != token.width))
            return false;
        switch (token.field) {
            case u'y':
                parts.year = token.width == 2 ? 1900 + value : value;
                break;
            case u'M':
                parts.month = value;
                break;
            case u'd':
                parts.day = value;
                break;
            case u'H':
                parts.hour = value;
                break;
            case u'm':
                parts.minute = value;
                break;
            case u's':
                parts.second = value;
                break;
            default:
                return false;
        }
    }
    return at == text.size();
}

bool NumericDateNotation::Writes(const automation::DateTimeParts& parts,
                                 std::u16string_view text) const {
    std::size_t at = 0;
    for (const Token& token : tokens_) {
        if (token.field == 0) {
            if (text.substr(at, token.literal.size()) != token.literal)
                return false;
            at += token.literal.size();
            continue;
        }
        int value = 0;
        switch (token.field) {
            case u'y':
                value = token.width == 2 ? parts.year % 100 : parts.year;
                break;
            case u'M':
                value = parts.month;
                break;
            case u'd':
                value = parts.day;
                break;
            case u'H':
                value = parts.hour;
                break;
            case u'm':
                value = parts.minute;
                break;
            case u's':
                value = parts.second;
                break;
            default:
                return false;
        }
        char16_t digits[8];
        int count = 0;
        do {
            digits[count++] = static_cast<char16_t>(u'0' + value % 10);
            value /= 10;
        } while (value > 0 && count < 8);
        while (count < token.width && count < 8)
            digits[count++] = u'0';
        if (text.size() - at < std::size_t(count))
            return false;
        for (int i = count - 1; i >= 0; --i)
            if (text[at++] != digits[i])
                return false;
    }
    return at == text.size();
}

}  // namespace spreadsheet
