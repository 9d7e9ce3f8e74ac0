#include "automation/VariantConversion.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "automation/Dispatch.h"
#include "automation/OleDate.h"
#include "util/Utf.h"

namespace automation {

namespace {

std::string ToUtf8(const QString& s) {
    return s.toStdString();
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

// A Qt date or time format compiled for numeric fields: d dd M MM yy yyyy H HH h hh m mm s ss
// and literal text. A format with anything else (month names, AM/PM, zones) is not compiled.
struct CompiledFormat {
    enum Field : char { Literal, Day, Month, Year2, Year4, Hour24, Hour12, Minute, Second };
    struct Token {
        Field field;
        int width;            // 1: no leading zero, 2: two digits
        std::string literal;  // for Literal
    };
    std::vector<Token> tokens;
    bool usable = false;

    static CompiledFormat Compile(const QString& format) {
        CompiledFormat f;
        f.usable = true;
        const QString& s = format;
        for (qsizetype i = 0; i < s.size();) {
            QChar c = s[i];
            qsizetype run = 1;
            while (i + run < s.size() && s[i + run] == c)
                ++run;
            auto field = [&](Field what, int width) { f.tokens.push_back({what, width, {}}); };
            if (c == u'\'') {
                qsizetype end = s.indexOf(u'\'', i + 1);
                if (end < 0)
                    end = s.size();
                QString text = s.mid(i + 1, end - i - 1);
                f.tokens.push_back({Literal, 0, text.isEmpty() ? "'" : text.toStdString()});
                i = end + 1;
                continue;
            }
            if (c == u'd' && run <= 2)
                field(Day, int(run));
            else if (c == u'M' && run <= 2)
                field(Month, int(run));
            else if (c == u'y' && run == 2)
                field(Year2, 2);
            else if (c == u'y' && run == 4)
                field(Year4, 4);
            else if (c == u'H' && run <= 2)
                field(Hour24, int(run));
            else if (c == u'h' && run <= 2)
                field(Hour12, int(run));
            else if (c == u'm' && run <= 2)
                field(Minute, int(run));
            else if (c == u's' && run <= 2)
                field(Second, int(run));
            else if (c.isLetter())
                f.usable = false;
            else
                f.tokens.push_back({Literal, 0, QString(run, c).toStdString()});
            i += run;
        }
        for (const Token& t : f.tokens)
            if (t.field == Hour12)
                f.usable = false;  // needs the AM/PM text
        return f;
    }

    void Render(const DateTimeParts& p, std::string& out) const {
        auto number = [&](int value, int width) {
            char buf[16];
            int n = width >= 2 ? std::snprintf(buf, sizeof buf, "%0*d", width, value)
                               : std::snprintf(buf, sizeof buf, "%d", value);
            out.append(buf, static_cast<std::size_t>(n));
        };
        for (const Token& t : tokens) {
            switch (t.field) {
                case Literal:
                    out += t.literal;
                    break;
                case Day:
                    number(p.day, t.width);
                    break;
                case Month:
                    number(p.month, t.width);
                    break;
                case Year2:
                    number(p.year % 100, 2);
                    break;
                case Year4:
                    number(p.year, 4);
                    break;
                case Hour24:
                    number(p.hour, t.width);
                    break;
                case Hour12:
                    number(p.hour % 12 == 0 ? 12 : p.hour % 12, t.width);
                    break;
                case Minute:
                    number(p.minute, t.width);
                    break;
                case Second:
                    number(p.second, t.width);
                    break;
            }
        }
    }
};

// What the conversion needs of a locale, worked out once: asking QLocale for it at every cell
// costs more than the rest of the conversion.
struct Notation {
    QLocale locale;
    QLocale ungrouped;
    std::string decimalPoint, negativeSign;
    bool asciiDigits = true;
    QString shortDate, longTime;

    explicit Notation(const QLocale& l) : locale(l), ungrouped(l) {
        ungrouped.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
        decimalPoint = ToUtf8(l.decimalPoint());
        negativeSign = ToUtf8(l.negativeSign());
        asciiDigits = l.zeroDigit() == QStringLiteral("0");
        shortDate = l.dateFormat(QLocale::ShortFormat);
        longTime = StripTimeZone(l.timeFormat(QLocale::LongFormat));
        if (asciiDigits) {
            compiledDate = CompiledFormat::Compile(shortDate);
            compiledTime = CompiledFormat::Compile(longTime);
        }
    }
    CompiledFormat compiledDate, compiledTime;
};

const Notation& NotationFor(const QLocale& locale) {
    thread_local std::optional<Notation> cached;
    if (!cached || !(cached->locale == locale))
        cached.emplace(locale);
    return *cached;
}

[[noreturn]] void Refuse(const Variant& value) {
    throw AutomationError(std::string("cannot convert ") + DescribeVariant(value) + " to text");
}

// Plain digits with the locale's decimal point and minus sign.
std::string LocalizeAscii(std::string_view ascii, const Notation& n) {
    std::string out;
    out.reserve(ascii.size() + 4);
    for (char c : ascii) {
        if (c == '.')
            out += n.decimalPoint;
        else if (c == '-')
            out += n.negativeSign;
        else if (c == 'e')
            out += 'E';  // the platform writes the exponent with a capital E, as in 1E+20
        else
            out += c;
    }
    return out;
}

std::string FloatToText(double d, int significantDigits, const Notation& n) {
    if (!std::isfinite(d))
        throw AutomationError("cannot convert a non-finite number to text");
    if (d == 0)
        d = 0;  // no "-0"
    if (n.asciiDigits) {
        char buf[64];
        auto [end, ec] =
            std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, significantDigits);
        if (ec == std::errc())
            return LocalizeAscii(std::string_view(buf, end - buf), n);
    }
    QString s = n.ungrouped.toString(d, 'g', significantDigits);
    s.replace(n.locale.exponential(), QStringLiteral("E"));
    return ToUtf8(s);
}

template <class Int>
std::string IntegerToText(Int value, const Notation& n) {
    if (n.asciiDigits) {
        char buf[32];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
        return LocalizeAscii(std::string_view(buf, end - buf), n);
    }
    return ToUtf8(n.ungrouped.toString(value));
}

std::string CurrencyToText(std::int64_t scaled, const Notation& n) {
    bool negative = scaled < 0;
    // Work in unsigned to take the most negative amount too.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string ascii = negative ? "-" : "";
    ascii += std::to_string(magnitude / 10000);
    if (unsigned fraction = static_cast<unsigned>(magnitude % 10000); fraction != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", fraction);
        std::string f(buf);
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        ascii += "." + f;
    }
    if (n.asciiDigits)
        return LocalizeAscii(ascii, n);
    return ToUtf8(n.ungrouped.toString(QString::fromStdString(ascii).toDouble(), 'f', 4));
}

std::string DateToText(double serial, const Notation& n) {
    std::optional<DateTimeParts> parts = OleDateToParts(serial);
    if (!parts)
        throw AutomationError("cannot convert a date outside the years 100 to 9999");
    bool onlyTime = parts->year == 1899 && parts->month == 12 && parts->day == 30;
    bool onlyDate = !onlyTime && parts->hour == 0 && parts->minute == 0 && parts->second == 0;
    if (n.compiledDate.usable && n.compiledTime.usable) {
        std::string out;
        if (!onlyTime)
            n.compiledDate.Render(*parts, out);
        if (!onlyTime && !onlyDate)
            out += ' ';
        if (!onlyDate)
            n.compiledTime.Render(*parts, out);
        return out;
    }
    QDate date(parts->year, parts->month, parts->day);
    QTime time(parts->hour, parts->minute, parts->second);
    if (onlyTime)
        return ToUtf8(n.locale.toString(time, n.longTime));
    QString dateText = n.locale.toString(date, n.shortDate);
    if (onlyDate)
        return ToUtf8(dateText);
    return ToUtf8(dateText + u' ' + n.locale.toString(time, n.longTime));
}

}  // namespace

DateTimeNotation LocaleDateTimeNotation(const QLocale& locale) {
    const Notation& n = NotationFor(locale);
    return {n.shortDate.toStdString(), n.longTime.toStdString()};
}

std::string VariantToString(const Variant& value, const QLocale& locale) {
    if (value.type() == VarType::String)
        return util::Utf16ToUtf8(value.text());
    if (value.type() == VarType::Empty)
        return {};
    const Notation& n = NotationFor(locale);
    switch (value.type()) {
        case VarType::Empty:
            return {};
        case VarType::String:
            return util::Utf16ToUtf8(value.text());
        case VarType::I1:
        case VarType::I2:
        case VarType::I4:
        case VarType::I8:
            return IntegerToText(static_cast<long long>(value.signedValue()), n);
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            return IntegerToText(static_cast<unsigned long long>(value.unsignedValue()), n);
        case VarType::R4:
            return FloatToText(value.singleValue(), 7, n);
        case VarType::R8:
            return FloatToText(value.doubleValue(), 15, n);
        case VarType::Currency:
            return CurrencyToText(value.currencyScaled(), n);
        case VarType::Date:
            return DateToText(value.doubleValue(), n);
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
