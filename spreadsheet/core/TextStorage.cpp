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
// Integers below this many digits come back from the conversion exactly as written.
constexpr int kExactIntegerDigits = 15;
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

// A plain integer the conversion writes as such: "0", or up to 15 digits with no leading zero
// and an optional minus.
bool IsPlainInteger(std::string_view ascii) {
    std::size_t i = ascii.empty() || ascii[0] != '-' ? 0 : 1;
    const std::size_t digits = ascii.size() - i;
    if (digits == 0 || digits > std::size_t(kExactIntegerDigits))
        return false;
    if (ascii[i] == '0')
        return digits == 1 && i == 0;
    for (; i < ascii.size(); ++i)
        if (ascii[i] < '0' || ascii[i] > '9')
            return false;
    return true;
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
    double value = 0;
    const auto [end, ec] = std::from_chars(mapped.data(), mapped.data() + n, value);
    if (ec != std::errc() || end != mapped.data() + n || !std::isfinite(value))
        return false;
    if (!IsPlainInteger(mapped) && !ConvertsBackTo(value, false, text))
        return false;
    number = value;
    return true;
}

bool TextStorage::ReadDateTime(std::u16string_view text, bool date1904, StoredText& out) const {
    if (text.size() > kLongestDateText)
        return false;
    if (!IsAsciiDigit(text[0]) && datesStartWithDigit_ && timesStartWithDigit_)
        return false;
    const QString q = ToQString(text);
    automation::DateTimeParts parts;
    DateTimeKind kind;
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
    // Qt reads a two-digit year as 19yy; the platform puts 00 to 29 in this century.
    if (twoDigitYears_ && kind != DateTimeKind::Time && parts.year < 1900 + kTwoDigitYearPivot)
        parts.year += 100;
    const std::optional<double> ole = automation::OleDateFromParts(parts);
    if (!ole || !ConvertsBackTo(*ole, true, text))
        return false;
    const std::optional<double> serial = SerialFromOleDate(*ole, date1904);
    if (!serial)
        return false;
    out.kind = StoredKind::Date;
    out.number = *serial;
    out.dateTime = kind;
    return true;
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
