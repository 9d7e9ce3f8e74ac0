#include "spreadsheet/core/CellValues.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>

#include "automation/Dispatch.h"
#include "automation/VariantConversion.h"
#include "tests/spreadsheet/FakeCodec.h"

namespace spreadsheet {
namespace {

using automation::Variant;
using automation::VarType;
using fake::kCurrencyStyle;
using fake::kDateStyle;
using fake::kFixed2;
using fake::MakeFakeWorkbook;
using fake::NumberCell;

const QLocale kChina(QLocale::Chinese, QLocale::China);

// The value of a number cell in a style, shown as the merge would write it (zh_CN).
struct NumberValueCase {
    double number;
    std::uint32_t style;
    bool date1904;
    VarType type;
    const char* shown;
};

TEST(CellValues, NumbersFollowTheirStyleAndDateSystem) {
    const NumberValueCase cases[] = {
        {3.5, fake::kGeneral, false, VarType::R8, "3.5"},
        {-0.25, kFixed2, false, VarType::R8, "-0.25"},
        {123456789012345678.0, fake::kGeneral, false, VarType::R8, "1.23456789012346E+17"},
        // The 1900 system: serial 1 is 1900-01-01; the phantom 29 February is serial 60.
        {1, kDateStyle, false, VarType::Date, "1900/1/1"},
        {59, kDateStyle, false, VarType::Date, "1900/2/28"},
        {60, kDateStyle, false, VarType::Date, "1900/3/1"},
        {61, kDateStyle, false, VarType::Date, "1900/3/1"},
        {45296, kDateStyle, false, VarType::Date, "2024/1/5"},
        {45296.5729166667, kDateStyle, false, VarType::Date, "2024/1/5 13:45:00"},
        {1.75, kDateStyle, false, VarType::Date, "1900/1/1 18:00:00"},
        {0.5729166667, kDateStyle, false, VarType::Date, "13:45:00"},
        {0, kDateStyle, false, VarType::Date, "00:00:00"},
        // No date to show: the number comes back as it is.
        {-1, kDateStyle, false, VarType::R8, "-1"},
        {3e6, kDateStyle, false, VarType::R8, "3000000"},
        // The 1904 system: serial 1 is 1904-01-02.
        {1, kDateStyle, true, VarType::Date, "1904/1/2"},
        {43834, kDateStyle, true, VarType::Date, "2024/1/5"},
        {0.5, kDateStyle, true, VarType::Date, "12:00:00"},
        // Currency: exactly four decimals, rounded.
        {1.23456, kCurrencyStyle, false, VarType::Currency, "1.2346"},
        {-2.5, kCurrencyStyle, false, VarType::Currency, "-2.5"},
        {1e20, kCurrencyStyle, false, VarType::R8, "1E+20"},
    };
    for (const auto& c : cases) {
        auto book = MakeFakeWorkbook("book.fake");
        book->setDate1904(c.date1904);
        const Cell cell = NumberCell(c.number, c.style);
        const Variant value = CellValue(*book, &cell);
        SCOPED_TRACE(::testing::PrintToString(c.number) + " in style " + std::to_string(c.style) +
                     (c.date1904 ? " (1904)" : ""));
        EXPECT_EQ(value.type(), c.type) << automation::DescribeVariant(value);
        EXPECT_EQ(automation::VariantToString(value, kChina), c.shown);
    }
}

TEST(CellValues, OtherCellKinds) {
    auto book = MakeFakeWorkbook("book.fake");
    EXPECT_TRUE(CellValue(*book, nullptr).isEmpty());

    Cell formattedBlank;
    formattedBlank.style = kDateStyle;
    EXPECT_TRUE(CellValue(*book, &formattedBlank).isEmpty());

    Cell text = fake::TextCell(*book, u"张三 😀");
    EXPECT_EQ(CellValue(*book, &text), Variant(u"张三 😀"));
    text.formula = true;  // a formula's cached text result
    EXPECT_EQ(CellValue(*book, &text), Variant(u"张三 😀"));

    Cell boolean;
    boolean.type = CellType::Boolean;
    boolean.payload = 1;
    EXPECT_EQ(CellValue(*book, &boolean), Variant(true));
    boolean.payload = 0;
    EXPECT_EQ(CellValue(*book, &boolean), Variant(false));

    Cell cachedNumber = NumberCell(45296, kDateStyle);
    cachedNumber.formula = true;
    EXPECT_EQ(CellValue(*book, &cachedNumber).type(), VarType::Date);
}

TEST(CellValues, ErrorCellsGiveThePlatformsErrorCodes) {
    const std::pair<CellError, std::uint32_t> cases[] = {
        {CellError::Null, 0x800A07D0u},  {CellError::Div0, 0x800A07D7u},
        {CellError::Value, 0x800A07DFu}, {CellError::Ref, 0x800A07E7u},
        {CellError::Name, 0x800A07EDu},  {CellError::Num, 0x800A07F4u},
        {CellError::NA, 0x800A07FAu},
    };
    auto book = MakeFakeWorkbook("book.fake");
    for (const auto& [error, code] : cases) {
        Cell cell;
        cell.type = CellType::Error;
        cell.payload = static_cast<std::uint32_t>(error);
        cell.formula = true;
        const Variant value = CellValue(*book, &cell);
        EXPECT_EQ(value.type(), VarType::Error);
        EXPECT_EQ(static_cast<std::uint32_t>(value.errorCode()), code);
        EXPECT_EQ(static_cast<std::uint32_t>(ErrorValueCode(error)), code);
        EXPECT_EQ(CellErrorFromCode(static_cast<std::int32_t>(code)), error);
        EXPECT_THROW(automation::VariantToString(value, kChina), automation::AutomationError);
    }
    EXPECT_EQ(CellErrorFromCode(static_cast<std::int32_t>(0x800A07D1u)), std::nullopt);
    EXPECT_EQ(CellErrorFromCode(2007), std::nullopt);
}

TEST(CellValues, SerialsAndPlatformDatesConvertBothWays) {
    // Stored serial -> platform date -> stored serial, wherever a date exists.
    for (bool date1904 : {false, true}) {
        for (double serial : {0.0, 0.25, 1.0, 1.5, 2.0, 59.0, 59.99, 61.0, 45296.5, 2958465.0}) {
            if (date1904 && serial > 2958465.0 - 1462)
                continue;
            const auto ole = OleDateFromSerial(serial, date1904);
            ASSERT_TRUE(ole) << serial;
            EXPECT_DOUBLE_EQ(SerialFromOleDate(*ole, date1904).value_or(-1), serial)
                << serial << (date1904 ? " (1904)" : "");
        }
    }
    // Platform dates with no serial: before the first day of the date system, or negative.
    EXPECT_EQ(SerialFromOleDate(1.0, false), std::nullopt);    // 1899-12-31
    EXPECT_EQ(SerialFromOleDate(1462.0, true), std::nullopt);  // 1904-01-01
    EXPECT_EQ(SerialFromOleDate(-3.0, false), std::nullopt);
    EXPECT_EQ(SerialFromOleDate(NAN, false), std::nullopt);
    EXPECT_EQ(OleDateFromSerial(INFINITY, false), std::nullopt);
    EXPECT_EQ(OleDateFromSerial(2958465.0, true), std::nullopt);  // past 9999 once shifted
}

}  // namespace
}  // namespace spreadsheet
