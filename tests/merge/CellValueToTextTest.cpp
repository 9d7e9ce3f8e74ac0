#include "merge/CellValueToText.h"

#include <gtest/gtest.h>
#include <QLocale>

#include "automation/Dispatch.h"
#include "automation/OleDate.h"
#include "automation/VariantConversion.h"

#include <QDate>
#include <QTime>

namespace {

using automation::Variant;
using automation::VarType;

TEST(CellValueToText, EveryKindOfValueUnderChineseLocale) {
    const QLocale zh(QLocale::Chinese, QLocale::China);
    struct Case {
        const char* name;
        Variant value;
        const char* text;
    };
    const Case cases[] = {
        {"empty", Variant(), ""},
        {"text", Variant::FromUtf8("合并 abc"), "合并 abc"},
        {"text outside the BMP", Variant(std::u16string(u"\U0002000B")), "\xF0\xA0\x80\x8B"},
        {"lone surrogate", Variant(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD"},
        {"I1", Variant::SignedInteger(VarType::I1, -5), "-5"},
        {"I2", Variant::SignedInteger(VarType::I2, 32767), "32767"},
        {"I4", Variant(std::int32_t{1234567}), "1234567"},  // no group separators
        {"I8", Variant::SignedInteger(VarType::I8, -9000000000LL), "-9000000000"},
        {"UI1", Variant::UnsignedInteger(VarType::UI1, 255), "255"},
        {"UI8", Variant::UnsignedInteger(VarType::UI8, 18446744073709551615ull),
         "18446744073709551615"},
        {"R8 integer", Variant(42.0), "42"},
        {"R8 fraction", Variant(3.25), "3.25"},
        {"R8 fifteen digits", Variant(0.1 + 0.2), "0.3"},
        {"R8 exact fifteen digits", Variant(123456789012345.0), "123456789012345"},
        {"R8 large", Variant(1e20), "1E+20"},
        {"R8 negative zero", Variant(-0.0), "0"},
        {"R4", Variant::Single(0.1f), "0.1"},
        {"currency", Variant::CurrencyScaled(125000), "12.5"},
        {"currency whole", Variant::CurrencyScaled(-30000), "-3"},
        {"currency four decimals", Variant::CurrencyScaled(1), "0.0001"},
        {"date", Variant::Date(45296.0), "2024/1/5"},
        {"date and time", Variant::Date(45296.0 + (13 * 3600 + 45 * 60) / 86400.0),
         "2024/1/5 13:45:00"},
        {"time only", Variant::Date(0.5), "12:00:00"},
        {"before the epoch", Variant::Date(-1.25), "1899/12/29 06:00:00"},
        {"true", Variant(true), "-1"},
        {"false", Variant(false), "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(merge::CellValueToText(c.value, zh), c.text) << c.name;
    }
}

TEST(CellValueToText, NumbersFollowTheLocale) {
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(merge::CellValueToText(Variant(3.25), de), "3,25");
    EXPECT_EQ(merge::CellValueToText(Variant(1234567.0), de), "1234567");
}

TEST(CellValueToText, RefusesWhatTheConversionCannotTake) {
    const QLocale zh(QLocale::Chinese, QLocale::China);
    const Variant refused[] = {
        Variant::Null(),
        Variant::ErrorCode(static_cast<std::int32_t>(0x800A07D7)),
        Variant(std::shared_ptr<automation::DispatchObject>()),
        Variant::Date(1e9),  // beyond the year 9999
        Variant(std::numeric_limits<double>::quiet_NaN()),
    };
    for (const Variant& v : refused) {
        EXPECT_THROW(merge::CellValueToText(v, zh), std::exception)
            << automation::DescribeVariant(v);
    }
}

TEST(CellValueToText, TrimmingForTheTwoTestsDropsOnlyControlsAndSpaces) {
    struct Case {
        const char* text;
        const char* trimmed;
    };
    const Case cases[] = {
        {"", ""},
        {"   ", ""},
        {"\t a b \r\n", "a b"},
        {"\xE3\x80\x80", "\xE3\x80\x80"},  // the full-width space is a character above 0x20
        {"0", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(merge::TrimmedCellText(c.text), c.trimmed);
        EXPECT_EQ(merge::HoldsText(c.text), std::string(c.trimmed) != "");
    }
}

}  // namespace

namespace {

// The fast date rendering must read exactly as Qt renders the locale's own notation.
TEST(CellValueToText, DatesReadAsTheLocaleWritesThem) {
    const QLocale locales[] = {
        QLocale(QLocale::Chinese, QLocale::China),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::English, QLocale::UnitedKingdom),
        QLocale(QLocale::Japanese, QLocale::Japan),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::Chinese, QLocale::Taiwan),
    };
    const double serials[] = {45296.0, 45296.5729166667, 1.0, 2958465.999988,
                              36526.0 + 1.0 / 86400};
    for (const QLocale& l : locales) {
        const automation::DateTimeNotation n = automation::LocaleDateTimeNotation(l);
        for (double serial : serials) {
            auto p = automation::OleDateToParts(serial);
            ASSERT_TRUE(p);
            QString expected =
                l.toString(QDate(p->year, p->month, p->day), QString::fromStdString(n.shortDate));
            if (p->hour || p->minute || p->second)
                expected += u' ' + l.toString(QTime(p->hour, p->minute, p->second),
                                              QString::fromStdString(n.longTime));
            EXPECT_EQ(merge::CellValueToText(Variant::Date(serial), l), expected.toStdString())
                << l.name().toStdString() << " " << serial;
        }
    }
}

}  // namespace
