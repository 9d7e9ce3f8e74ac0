#include "automation/VariantConversion.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <cmath>
#include <cstdlib>

#include "automation/Dispatch.h"
#include "automation/OleDate.h"
#include "util/Utf.h"

namespace automation {

namespace {

std::string ToUtf8(const QString& s) {
    return s.toStdString();
}

QLocale WithoutGrouping(const QLocale& locale) {
    QLocale l(locale);
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l;
}

[[noreturn]] void Refuse(const Variant& value) {
    throw AutomationError(std::string("cannot convert ") + DescribeVariant(value) + " to text");
}

std::string FloatToText(double d, int significantDigits, const QLocale& locale) {
    if (!std::isfinite(d))
        throw AutomationError("cannot convert a non-finite number to text");
    if (d == 0)
        d = 0;  // no "-0"
    QString s = WithoutGrouping(locale).toString(d, 'g', significantDigits);
    // The platform writes the exponent with a capital E, as in 1E+20.
    s.replace(locale.exponential(), QStringLiteral("E"));
    return ToUtf8(s);
}

std::string CurrencyToText(std::int64_t scaled, const QLocale& locale) {
    bool negative = scaled < 0;
    // Work in unsigned to take the most negative amount too.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::uint64_t units = magnitude / 10000;
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    std::string digits = std::to_string(units);
    std::string out;
    if (negative)
        out += ToUtf8(locale.negativeSign());
    out += digits;
    if (fraction != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", fraction);
        std::string f(buf);
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        out += ToUtf8(locale.decimalPoint());
        out += f;
    }
    return out;
}

QString StripTimeZone(QString format) {
    // Drop time-zone letters outside quotes, with the spaces around them.
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

std::string DateToText(double serial, const QLocale& locale) {
    std::optional<DateTimeParts> parts = OleDateToParts(serial);
    if (!parts)
        throw AutomationError("cannot convert a date outside the years 100 to 9999");
    DateTimeNotation notation = LocaleDateTimeNotation(locale);
    QDate date(parts->year, parts->month, parts->day);
    QTime time(parts->hour, parts->minute, parts->second);
    bool onlyTime = parts->year == 1899 && parts->month == 12 && parts->day == 30;
    bool onlyDate = !onlyTime && parts->hour == 0 && parts->minute == 0 && parts->second == 0;
    QString dateText = locale.toString(date, QString::fromStdString(notation.shortDate));
    QString timeText = locale.toString(time, QString::fromStdString(notation.longTime));
    if (onlyTime)
        return ToUtf8(timeText);
    if (onlyDate)
        return ToUtf8(dateText);
    return ToUtf8(dateText + u' ' + timeText);
}

}  // namespace

DateTimeNotation LocaleDateTimeNotation(const QLocale& locale) {
    return {locale.dateFormat(QLocale::ShortFormat).toStdString(),
            StripTimeZone(locale.timeFormat(QLocale::LongFormat)).toStdString()};
}

std::string VariantToString(const Variant& value, const QLocale& locale) {
    switch (value.type()) {
        case VarType::Empty:
            return {};
        case VarType::String:
            return util::Utf16ToUtf8(value.text());
        case VarType::I1:
        case VarType::I2:
        case VarType::I4:
        case VarType::I8:
            return ToUtf8(WithoutGrouping(locale).toString(qlonglong(value.signedValue())));
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            return ToUtf8(WithoutGrouping(locale).toString(qulonglong(value.unsignedValue())));
        case VarType::R4:
            return FloatToText(value.singleValue(), 7, locale);
        case VarType::R8:
            return FloatToText(value.doubleValue(), 15, locale);
        case VarType::Currency:
            return CurrencyToText(value.currencyScaled(), locale);
        case VarType::Date:
            return DateToText(value.doubleValue(), locale);
        case VarType::Bool:
            return value.boolValue() ? "-1" : "0";
        case VarType::Null:
        case VarType::Error:
        case VarType::Object:
            Refuse(value);
    }
    Refuse(value);
}

std::string VariantToString(const Variant& value) {
    return VariantToString(value, QLocale());
}

}  // namespace automation
