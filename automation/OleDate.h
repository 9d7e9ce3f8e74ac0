#pragma once

#include <optional>

namespace automation {

// A calendar date and time of day, to the second.
struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

// The platform's date: days since 1899-12-30, the fraction the time of day. A negative serial
// counts days backwards while its fraction still runs forwards (-1.25 is 1899-12-29 06:00).
// Serials outside the years 100 to 9999 give nothing. The time is rounded to the second.
std::optional<DateTimeParts> OleDateToParts(double serial);

// The serial of a date and time, or nothing when a part is out of range.
std::optional<double> OleDateFromParts(const DateTimeParts& parts);

// Days from 1970-01-01 to a proleptic Gregorian date, and back.
long long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long long days, int& year, int& month, int& day);

}  // namespace automation
