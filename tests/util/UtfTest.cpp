#include <gtest/gtest.h>

#include "util/Utf.h"

namespace {

constexpr char16_t R = 0xFFFD;  // the replacement character

// UTF-8 in, the UTF-16 it gives: every malformed byte becomes one replacement character, and
// the valid text around it is kept.
struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

const Utf8Case kUtf8Cases[] = {
    {"Empty", "", u""},
    {"Ascii", "Sheet1!A1", u"Sheet1!A1"},
    {"TwoThreeAndFourBytes", "é中😀", u"é中\U0001F600"},
    {"NulIsKept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    {"StrayContinuation", "a\x80z", {u'a', R, u'z'}},
    {"OverlongTwoBytes", "\xC0\xAF", {R, R}},
    {"OverlongThreeBytes", "\xE0\x80\xAF", {R, R, R}},
    {"EncodedHighSurrogate", "\xED\xA0\x80", {R, R, R}},
    {"EncodedLowSurrogate", "\xED\xBF\xBF", {R, R, R}},
    {"BeyondU10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
    {"InvalidLeadBytes", "\xF5\xFF\xFE", {R, R, R}},
    {"CutShortAtTheEnd", "中\xE4\xB8", {u'中', R, R}},
    {"CutShortBeforeAscii", "\xE4\xB8x", {R, R, u'x'}},
    {"LargestScalar", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
};

class Utf8ToUtf16Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16Test, Converts) {
    EXPECT_EQ(util::Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8ToUtf16Test, ::testing::ValuesIn(kUtf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// UTF-16 in, the UTF-8 it gives: a lone surrogate becomes U+FFFD (EF BF BD).
TEST(Utf16ToUtf8, PairsAndLoneSurrogates) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        {u"中文 text", "中文 text"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {{0xD83D}, "\xEF\xBF\xBD"},  // high surrogate at the end
        {{0xDE00, u'a'},
         "\xEF\xBF\xBD"
         "a"},                                           // low surrogate first
        {{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair in the wrong order
        {{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(util::Utf16ToUtf8(c.utf16), c.utf8);
        std::string appended = "prefix:";
        util::AppendUtf16AsUtf8(c.utf16, appended);
        EXPECT_EQ(appended, "prefix:" + c.utf8);
    }
}

TEST(Utf, ValidTextSurvivesTheRoundTrip) {
    std::u16string every;
    for (char32_t cp : {0x1u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu})
        every.push_back(static_cast<char16_t>(cp));
    every += u"\U00010000\U0010FFFF";
    EXPECT_EQ(util::Utf8ToUtf16(util::Utf16ToUtf8(every)), every);
}

}  // namespace
