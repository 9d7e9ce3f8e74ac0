#include "spreadsheet/core/TextStorage.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <charconv>
#include <cmath>

#include "automation/OleDate.h"
#include "automation/VariantConversion.h"
#include "spreadsheet/core/CellValues.h"
#include "util/Utf.h"

namespace spreadsheet {
namespace {

// Longer texts are never numbers the conversion writes (15 digits, sign, point, exponent).
constexpr std::size_t kLongestNumberText = 32;
// Longer texts are never dates or times the conversion writes.
constexpr std::size_t kLongestDateText = 64;
// The conversion writes numbers to this many significant digits.
constexpr int kExactDigits = 15;
// Two-digit years below this are 20yy, the others 19yy.
constexpr int kTwoDigitYearPivot = 30;

std::u16string ToU16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

QString ToQString(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool StartsWith(std::u16string_view text, std::size_t at, const std::u16string& word) {
    return !word.empty() && text.substr(at, word.size()) == word;
}

enum class Canonical { Yes, No, Unknown };

// Whether the conversion writes a number exactly as this plain decimal (C notation, without an
// exponent): with up to 15 significant digits it writes them all, with no leading zero before
// the digits, no trailing zero after the point, and no exponent from 1E-04 up to below 1E+15.
// Texts with an exponent are left to the conversion itself.
Canonical CanonicalDecimal(std::string_view ascii) {
    std::size_t i = 0;
    const bool negative = !ascii.empty() && ascii[0] == '-';
    if (negative)
        ++i;
    // The whole part: "0", or digits with no leading zero.
    const std::size_t wholeStart = i;
    while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9')
        ++i;
    const std::size_t wholeDigits = i - wholeStart;
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == '+'))
        return Canonical::Unknown;
    if (wholeDigits == 0 || (wholeDigits > 1 && ascii[wholeStart] == '0'))
        return Canonical::No;
    const bool zeroWhole = ascii[wholeStart] == '0';
    if (i == ascii.size())
        return (zeroWhole && negative) || wholeDigits > std::size_t(kExactDigits)  // no "-0"
                   ? Canonical::No
                   : Canonical::Yes;
    if (ascii[i] != '.')
        return Canonical::No;
    // The fraction: digits, the last not a zero.
    const std::size_t fractionStart = ++i;
    std::size_t leadingZeros = 0;
    bool significantSeen = false;
    for (; i < ascii.size(); ++i) {
        const char c = ascii[i];
        if (c == 'e' || c == '+')
            return Canonical::Unknown;
        if (c < '0' || c > '9')
            return Canonical::No;
        if (c != '0')
            significantSeen = true;
        if (!significantSeen)
            ++leadingZeros;
    }
    const std::size_t fractionDigits = i - fractionStart;
    if (fractionDigits == 0 || ascii.back() == '0')
        return Canonical::No;
    std::size_t significant = wholeDigits + fractionDigits;
    if (zeroWhole) {
        if (leadingZeros > 3)
            return Canonical::No;  // written as 1E-05 and below
        significant = fractionDigits - leadingZeros;
    }
    return significant <= std::size_t(kExactDigits) ? Canonical::Yes : Canonical::No;
}

}  // namespace

TextStorage::TextStorage(const QLocale& locale)
    : locale_(locale),
      decimalPoint_(ToU16(locale.decimalPoint())),
      negativeSign_(ToU16(locale.negativeSign())),
      positiveSign_(ToU16(locale.positiveSign())) {
    const QString zero = locale.zeroDigit();
    zeroDigit_ = zero.size() == 1 ? char16_t(zero.at(0).unicode()) : u'0';
    plainDigits_ = zeroDigit_ == u'0';
    const automation::DateTimeNotation notation = automation::LocaleDateTimeNotation(locale);
    dateFormat_ = QString::fromStdString(notation.shortDate);
    timeFormat_ = QString::fromStdString(notation.longTime);
    dateTimeFormat_ = dateFormat_ + u' ' + timeFormat_;
    numericDate_ = NumericDateNotation::FromQtFormat(ToU16(dateFormat_));
    numericTime_ = NumericDateNotation::FromQtFormat(ToU16(timeFormat_));
    numericDateTime_ = NumericDateNotation::FromQtFormat(ToU16(dateTimeFormat_));
    twoDigitYears_ = !dateFormat_.contains(u"yyy") && dateFormat_.contains(u"yy");
    // Dates and times that do not start with a digit in this locale need the slower look at
    // every text; the usual ones let every other text pass at once.
    const QString sampleDate = locale.toString(QDate(2024, 11, 25), dateFormat_);
    const QString sampleTime = locale.toString(QTime(13, 45, 30), timeFormat_);
    datesStartWithDigit_ = !sampleDate.isEmpty() && sampleDate.at(0).isDigit();
    timesStartWithDigit_ = !sampleTime.isEmpty() && sampleTime.at(0).isDigit();
}

StoredText TextStorage::Classify(std::u16string_view text, bool date1904) const {
    StoredText out;
    if (text.empty()) {
        out.kind = StoredKind::Empty;
        return out;
    }
    if (ReadNumber(text, out.number)) {
        out.kind = StoredKind::Number;
        return out;
    }
    if (ReadDateTime(text, date1904, out))
        return out;
    out.kind = StoredKind::Text;
    out.number = 0;
    return out;
}

bool TextStorage::ReadNumber(std::u16string_view text, double& number) const {
    if (text.size() > kLongestNumberText)
        return false;
    // The text in the C notation, for from_chars; any character outside the locale's number
    // notation makes it a text.
    char ascii[kLongestNumberText + 1];
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char16_t c = text[i];
        if (plainDigits_ ? IsAsciiDigit(c) : (c >= zeroDigit_ && c <= zeroDigit_ + 9)) {
            ascii[n++] = static_cast<char>('0' + (c - zeroDigit_));
            ++i;
        } else if (StartsWith(text, i, decimalPoint_)) {
            ascii[n++] = '.';
            i += decimalPoint_.size();
        } else if (StartsWith(text, i, negativeSign_)) {
            ascii[n++] = '-';
            i += negativeSign_.size();
        } else if (StartsWith(text, i, positiveSign_)) {
            ascii[n++] = '+';
            i += positiveSign_.size();
        } else if (c == u'E') {  // the conversion writes a capital E in every locale
            ascii[n++] = 'e';
            ++i;
        } else {
            return false;
        }
    }
    const std::string_view mapped(ascii, n);
    const Canonical canonical = plainDigits_ ? CanonicalDecimal(mapped) : Canonical::Unknown;
    if (canonical == Canonical::No)
        return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(mapped.data(), mapped.data() + n, value);
    if (ec != std::errc() || end != mapped.data() + n || !std::isfinite(value))
        return false;
    if (canonical == Canonical::Unknown && !ConvertsBackTo(value, false, text))
        return false;
    number = value;
    return true;
}

bool TextStorage::ReadDateTime(std::u16string_view text, bool date1904, StoredText& out) const {
    if (text.size() > kLongestDateText)
        return false;
    if (!IsAsciiDigit(text[0]) && datesStartWithDigit_ && timesStartWithDigit_)
        return false;
    automation::DateTimeParts parts;
    DateTimeKind kind = DateTimeKind::Date;
    if (!ParseDateTime(text, parts, kind))
        return false;
    // Qt reads a two-digit year as 19yy; the platform puts 00 to 29 in this century.
    if (twoDigitYears_ && kind != DateTimeKind::Time && parts.year < 1900 + kTwoDigitYearPivot)
        parts.year += 100;
    const std::optional<double> ole = automation::OleDateFromParts(parts);
    if (!ole)
        return false;
    const std::optional<double> serial = SerialFromOleDate(*ole, date1904);
    if (!serial || !WritesBack(parts, kind, *ole, text))
        return false;
    out.kind = StoredKind::Date;
    out.number = *serial;
    out.dateTime = kind;
    return true;
}

bool TextStorage::ParseDateTime(std::u16string_view text, automation::DateTimeParts& parts,
                                DateTimeKind& kind) const {
    if (numericDate_ && numericTime_ && numericDateTime_) {
        parts = {};
        if (numericDateTime_->Read(text, parts)) {
            kind = DateTimeKind::DateTime;
            return true;
        }
        parts = {};
        if (numericDate_->Read(text, parts)) {
            kind = DateTimeKind::Date;
            return true;
        }
        parts = {};
        if (numericTime_->Read(text, parts)) {
            kind = DateTimeKind::Time;
            return true;
        }
        return false;
    }
    const QString q = ToQString(text);
    if (const QDateTime dt = locale_.toDateTime(q, dateTimeFormat_); dt.isValid()) {
        kind = DateTimeKind::DateTime;
        parts = {dt.date().year(), dt.date().month(),  dt.date().day(),
                 dt.time().hour(), dt.time().minute(), dt.time().second()};
    } else if (const QDate d = locale_.toDate(q, dateFormat_); d.isValid()) {
        kind = DateTimeKind::Date;
        parts = {d.year(), d.month(), d.day(), 0, 0, 0};
    } else if (const QTime t = locale_.toTime(q, timeFormat_); t.isValid()) {
        kind = DateTimeKind::Time;
        parts = {1899, 12, 30, t.hour(), t.minute(), t.second()};
    } else {
        return false;
    }
    return true;
}

bool TextStorage::WritesBack(const automation::DateTimeParts& parts, DateTimeKind kind, double ole,
                             std::u16string_view text) const {
    if (!numericDateTime_)
        return ConvertsBackTo(ole, true, text);
    // The conversion writes the date alone at midnight, and the time alone on 1899-12-30.
    const bool midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
    const bool noDay = parts.year == 1899 && parts.month == 12 && parts.day == 30;
    switch (kind) {
        case DateTimeKind::Date:
            return !noDay && numericDate_->Writes(parts, text);
        case DateTimeKind::Time:
            return numericTime_->Writes(parts, text);
        case DateTimeKind::DateTime:
            return !midnight && !noDay && numericDateTime_->Writes(parts, text);
    }
    return false;
}

bool TextStorage::ConvertsBackTo(double value, bool isDate, std::u16string_view text) const {
    const automation::Variant v =
        isDate ? automation::Variant::Date(value) : automation::Variant(value);
    try {
        return automation::VariantToString(v, locale_) == util::Utf16ToUtf8(text);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace spreadsheet
