#include "automation/OleDate.h"

#include <cmath>

namespace automation {

namespace {
constexpr double kMinSerial = -657434.0;         // 0100-01-01
constexpr double kMaxSerial = 2958465.99999999;  // 9999-12-31 23:59:59
constexpr int kSecondsPerDay = 86400;
// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochOffsetDays = -25569;
}  // namespace

long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

std::optional<DateTimeParts> OleDateToParts(double serial) {
    if (!std::isfinite(serial) || serial < kMinSerial || serial > kMaxSerial)
        return std::nullopt;
    double whole = std::trunc(serial);
    double fraction = std::fabs(serial - whole);
    long long days = static_cast<long long>(whole);
    long long seconds = std::llround(fraction * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        days += 1;
    }
    DateTimeParts p;
    CivilFromDays(days + kEpochOffsetDays, p.year, p.month, p.day);
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    return p;
}

std::optional<double> OleDateFromParts(const DateTimeParts& p) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1)
        return {};
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
    int monthDays = kDaysInMonth[p.month - 1] + (p.month == 2 && leap ? 1 : 0);
    if (p.day > monthDays)
        return {};
    if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59)
        return {};
    long long days = DaysFromCivil(p.year, p.month, p.day) - kEpochOffsetDays;
    double fraction = (p.hour * 3600 + p.minute * 60 + p.second) / double(kSecondsPerDay);
    // Before the epoch the whole part counts back while the fraction still counts forward.
    return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace automation
