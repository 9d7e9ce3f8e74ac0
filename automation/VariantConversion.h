#pragma once

#include <string>

#include "automation/Variant.h"

class QLocale;

namespace automation {

// The platform's standard conversion of a variant to text, for a locale, with no option flags:
// numbers in the locale's notation (up to 15 significant digits for 8-byte floats, 7 for
// 4-byte ones, no group separators), currency exactly to its four decimals, dates in the
// locale's short date and long time notation, booleans "-1" and "0", empty as "".
// Null, error values and objects cannot be converted: AutomationError.
// The result is UTF-8.
std::string VariantToString(const Variant& value, const QLocale& locale);
// The same for the user's default locale.
std::string VariantToString(const Variant& value);

// The formats of dates and times that the conversion writes for a locale (Qt format strings).
// The long time format is the locale's without a time-zone part.
struct DateTimeNotation {
    std::string shortDate;
    std::string longTime;
};
DateTimeNotation LocaleDateTimeNotation(const QLocale& locale);

}  // namespace automation
