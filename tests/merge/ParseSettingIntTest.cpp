#include "merge/ParseSettingInt.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> value;  // nullopt: refused
};

TEST(ParseSettingInt, AcceptsExactlyTheDecimalAndHexadecimalForms) {
    const Case cases[] = {
        {"1", 1},
        {"0", 0},
        {"007", 7},
        {"   12", 12},  // leading spaces are skipped
        {"+5", 5},
        {"-5", -5},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$1F", 31},
        {"0x1f", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0X1F", 31},
        {"$FFFFFFFF", -1},  // all 32 bits: the signed number of that pattern
        {"$80000000", INT32_MIN},
        {"$000000001", 1},  // leading zeros do not count as significant digits
        {"  $10", 16},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt},  // nine significant digits
        {"12 ", std::nullopt},         // nothing may follow the digits
        {"\t12", std::nullopt},        // only 0x20 counts as a leading space
        {"1.0", std::nullopt},
        {"1,000", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"-$10", std::nullopt},  // no sign before a prefix
        {"$-10", std::nullopt},  // nor after it
        {"+0x10", std::nullopt},
        {"1e3", std::nullopt},
        {"\xEF\xBC\x91", std::nullopt},  // a full-width digit one
        {"$1G", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(merge::TryParseSettingInt(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseSettingInt, ThrowingFormNamesTheText) {
    EXPECT_EQ(merge::ParseSettingInt(" 42"), 42);
    try {
        merge::ParseSettingInt("abc");
        FAIL() << "no exception";
    } catch (const merge::SettingParseError& e) {
        EXPECT_NE(std::string(e.what()).find("\"abc\""), std::string::npos);
    }
}

}  // namespace
