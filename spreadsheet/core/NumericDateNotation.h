#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/OleDate.h"

namespace spreadsheet {

// A date or time notation of numeric fields and literal text only, such as "yyyy/M/d" or
// "HH:mm:ss" (Qt format letters), read directly: Qt's own date parser costs microseconds for
// every text, and the usual notations need none of its generality.
class NumericDateNotation {
  public:
    // Nothing when the format holds a field that is not a number (a month or day name, AM/PM,
    // a time zone) or a width this reader does not take.
    static std::optional<NumericDateNotation> FromQtFormat(std::u16string_view format);

    // Reads the whole text into the fields the notation has; the other fields of parts stay.
    // A two-digit year reads as 19yy, as Qt reads it. Field values are not range-checked.
    bool Read(std::u16string_view text, automation::DateTimeParts& parts) const;

    // True when the notation writes parts exactly as text (no padding for one-letter fields, two
    // digits for two-letter ones, the year in four or two digits).
    bool Writes(const automation::DateTimeParts& parts, std::u16string_view text) const;

  private:
    struct Token {
        char16_t field = 0;  // y M d H m s, or 0 for literal text
        int width = 0;       // digits: exactly this many, or 1 or 2 when 1
        std::u16string literal;
    };
    std::vector<Token> tokens_;
};

}  // namespace spreadsheet
