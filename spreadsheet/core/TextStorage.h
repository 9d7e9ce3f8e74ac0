#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/core/NumericDateNotation.h"
#include "spreadsheet/model/WorkbookCodec.h"

namespace spreadsheet {

// How a text written into a cell is kept.
enum class StoredKind : std::uint8_t {
    Empty,   // no value; the cell keeps its format
    Number,  // the number the text reads as
    Date,    // a date or time serial in the workbook's date system
    Text,    // the text itself, exactly
};

struct StoredText {
    StoredKind kind = StoredKind::Text;
    double number = 0;                           // Number and Date
    DateTimeKind dateTime = DateTimeKind::Date;  // Date: what the cell's format must show
};

// The one rule for storing a written text, so that nothing is lost and numbers stay numbers.
// A text becomes a number or a date only when the standard conversion of that value to text
// (automation::VariantToString, same locale) gives back exactly the same text; otherwise it is
// kept as text. So "12" and "-3.5" are numbers, while "0012", "+5", " 12 ", "1,000", "1e5" and an
// 18-digit ID number stay texts; a date or time in the conversion's notation ("2024/1/5",
// "2024/1/5 13:45:00", "13:45:00" under zh_CN) is a date, unless the workbook's date system has
// no serial for it. The empty text leaves the cell without a value.
class TextStorage {
  public:
    explicit TextStorage(const QLocale& locale = QLocale());

    StoredText Classify(std::u16string_view text, bool date1904) const;

  private:
    bool ReadNumber(std::u16string_view text, double& number) const;
    bool ReadDateTime(std::u16string_view text, bool date1904, StoredText& out) const;
    bool ParseDateTime(std::u16string_view text, automation::DateTimeParts& parts,
                       DateTimeKind& kind) const;
    bool WritesBack(const automation::DateTimeParts& parts, DateTimeKind kind, double ole,
                    std::u16string_view text) const;
    bool ConvertsBackTo(double value, bool isDate, std::u16string_view text) const;

    QLocale locale_;
    std::u16string decimalPoint_, negativeSign_, positiveSign_;
    char16_t zeroDigit_ = u'0';
    bool plainDigits_ = true;
    QString dateFormat_, timeFormat_, dateTimeFormat_;
    // The same notations read directly, when they are numeric only.
    std::optional<NumericDateNotation> numericDate_, numericTime_, numericDateTime_;
    bool twoDigitYears_ = false;
    bool datesStartWithDigit_ = true;
    bool timesStartWithDigit_ = true;
};

}  // namespace spreadsheet
