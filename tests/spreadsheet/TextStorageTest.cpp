#include "spreadsheet/core/TextStorage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "automation/VariantConversion.h"
#include "spreadsheet/core/CellValues.h"
#include "util/Utf.h"

namespace spreadsheet {
namespace {

using automation::Variant;

const char* KindName(StoredKind kind) {
    switch (kind) {
        case StoredKind::Empty:
            return "Empty";
        case StoredKind::Number:
            return "Number";
        case StoredKind::Date:
            return "Date";
        case StoredKind::Text:
            return "Text";
    }
    return "?";
}

// The value a cell then gives back, as the application returns it.
Variant ValueOf(const StoredText& stored, std::u16string_view text, bool date1904) {
    switch (stored.kind) {
        case StoredKind::Empty:
            return {};
        case StoredKind::Number:
            return Variant(stored.number);
        case StoredKind::Date:
            return Variant::Date(OleDateFromSerial(stored.number, date1904).value());
        case StoredKind::Text:
            break;
    }
    return Variant(std::u16string(text));
}

struct WrittenTextCase {
    QLocale locale;
    bool date1904;
    std::u16string text;
    StoredKind kind;
    double stored = 0;  // Number and Date: the value kept
};

const QLocale kChina(QLocale::Chinese, QLocale::China);
const QLocale kGermany(QLocale::German, QLocale::Germany);
const QLocale kC = QLocale::c();
const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);

// Every text must come back from the conversion exactly as it was written, whatever it is
// stored as; the kind says whether it was kept as a number, a date or the text itself.
TEST(TextStorage, StoresEveryTextSoThatItComesBackUnchanged) {
    const std::u16string longText(300, u'长');
    const WrittenTextCase cases[] = {
        {kChina, false, u"", StoredKind::Empty},
        // Numbers in the conversion's own notation.
        {kChina, false, u"12", StoredKind::Number, 12},
        {kChina, false, u"0", StoredKind::Number, 0},
        {kChina, false, u"-3.5", StoredKind::Number, -3.5},
        {kChina, false, u"0.5", StoredKind::Number, 0.5},
        {kChina, false, u"123456789012345", StoredKind::Number, 123456789012345.0},
        {kChina, false, u"-999999999999999", StoredKind::Number, -999999999999999.0},
        {kChina, false, u"3.14159265358979", StoredKind::Number, 3.14159265358979},
        {kChina, false, u"1E+20", StoredKind::Number, 1e20},
        {kChina, false, u"1E-05", StoredKind::Number, 1e-5},
        // Texts that look like numbers but would come back otherwise.
        {kChina, false, u"110101199003071234", StoredKind::Text},  // an ID number
        {kChina, false, u"1234567890123456", StoredKind::Text},    // 16 digits
        {kChina, false, u"1000000000000000", StoredKind::Text},    // comes back as 1E+15
        {kChina, false, u"3.141592653589793", StoredKind::Text},
        {kChina, false, u"0012", StoredKind::Text},
        {kChina, false, u"00", StoredKind::Text},
        {kChina, false, u" 12 ", StoredKind::Text},
        {kChina, false, u"12 ", StoredKind::Text},
        {kChina, false, u"   ", StoredKind::Text},
        {kChina, false, u"1,000", StoredKind::Text},
        {kChina, false, u"+5", StoredKind::Text},
        {kChina, false, u"-0", StoredKind::Text},
        {kChina, false, u"1e5", StoredKind::Text},
        {kChina, false, u"1E5", StoredKind::Text},
        {kChina, false, u"1E+400", StoredKind::Text},
        {kChina, false, u"1.", StoredKind::Text},
        {kChina, false, u".5", StoredKind::Text},
        {kChina, false, u"0.10", StoredKind::Text},
        {kChina, false, u"5%", StoredKind::Text},
        {kChina, false, u"\u22125", StoredKind::Text},  // a minus sign that is not the locale's
        {kChina, false, u"１２", StoredKind::Text},     // full-width digits
        {kChina, false, u"E", StoredKind::Text},
        {kChina, false, u"-", StoredKind::Text},
        {kChina, false, u"NaN", StoredKind::Text},
        {kChina, false, u"inf", StoredKind::Text},
        // Dates and times in the conversion's notation.
        {kChina, false, u"2024/1/5", StoredKind::Date, 45296},
        {kChina, false, u"2024/1/5 13:45:00", StoredKind::Date, 45296 + 49500.0 / 86400},
        {kChina, false, u"13:45:00", StoredKind::Date, 49500.0 / 86400},
        {kChina, false, u"00:00:00", StoredKind::Date, 0},
        {kChina, false, u"1900/1/1", StoredKind::Date, 1},
        {kChina, false, u"1900/2/28", StoredKind::Date, 59},
        {kChina, false, u"1900/3/1", StoredKind::Date, 61},
        {kChina, false, u"9999/12/31", StoredKind::Date, 2958465},
        // Dates the conversion would write otherwise, or that have no serial.
        {kChina, false, u"2024/01/05", StoredKind::Text},
        {kChina, false, u"2024-1-5", StoredKind::Text},
        {kChina, false, u"2024/2/30", StoredKind::Text},
        {kChina, false, u"2024/1/5 00:00:00", StoredKind::Text},
        {kChina, false, u"2024/1/5 13:45", StoredKind::Text},
        {kChina, false, u"13:45", StoredKind::Text},
        {kChina, false, u"1:45:00", StoredKind::Text},
        {kChina, false, u"25:00:00", StoredKind::Text},
        {kChina, false, u"1899/12/31", StoredKind::Text},
        {kChina, false, u"2024年1月5日", StoredKind::Text},
        // The 1904 date system counts from 1904-01-01.
        {kChina, true, u"1904/1/2", StoredKind::Date, 1},
        {kChina, true, u"2024/1/5", StoredKind::Date, 45296 - 1462},
        {kChina, true, u"13:45:00", StoredKind::Date, 49500.0 / 86400},
        {kChina, true, u"1904/1/1", StoredKind::Text},
        {kChina, true, u"1900/3/1", StoredKind::Text},
        // Everything else, exactly.
        {kChina, false, u"张三", StoredKind::Text},
        {kChina, false, longText, StoredKind::Text},
        {kChina, false, u"😀𠀀 non-BMP", StoredKind::Text},
        {kChina, false, u"12\u3000", StoredKind::Text},  // a full-width space
        // Other locales: their own decimal point and date notation.
        {kGermany, false, u"3,5", StoredKind::Number, 3.5},
        {kGermany, false, u"3.5", StoredKind::Text},
        {kGermany, false, u"05.01.24", StoredKind::Date, 45296},  // two-digit years
        {kGermany, false, u"05.01.31", StoredKind::Date, 11328},
        {kC, false, u"-42", StoredKind::Number, -42},
        {kC, false, u"5 Jan 2024", StoredKind::Date, 45296},
        {kC, false, u"13:45:00", StoredKind::Date, 49500.0 / 86400},
        {kUnitedStates, false, u"1/5/24", StoredKind::Date, 45296},
        {kUnitedStates, false, u"1:45:00 PM", StoredKind::Date, 49500.0 / 86400},
        {kUnitedStates, false, u"1/5/24 1:45:00 PM", StoredKind::Date, 45296 + 49500.0 / 86400},
        {kUnitedStates, false, u"13:45:00", StoredKind::Text},
    };
    for (const auto& c : cases) {
        const TextStorage storage(c.locale);
        const StoredText stored = storage.Classify(c.text, c.date1904);
        const std::string text = util::Utf16ToUtf8(c.text);
        SCOPED_TRACE("\"" + text + "\" under " + c.locale.name().toStdString() +
                     (c.date1904 ? " (1904)" : ""));
        EXPECT_STREQ(KindName(stored.kind), KindName(c.kind));
        if (stored.kind == c.kind && (c.kind == StoredKind::Number || c.kind == StoredKind::Date)) {
            EXPECT_NEAR(stored.number, c.stored, 1e-9);
        }
        if (stored.kind != StoredKind::Empty) {
            EXPECT_EQ(automation::VariantToString(ValueOf(stored, c.text, c.date1904), c.locale),
                      text);
        }
    }
}

TEST(TextStorage, SaysWhatAWrittenDateMustShow) {
    const TextStorage storage(kChina);
    EXPECT_EQ(storage.Classify(u"2024/1/5", false).dateTime, DateTimeKind::Date);
    EXPECT_EQ(storage.Classify(u"13:45:00", false).dateTime, DateTimeKind::Time);
    EXPECT_EQ(storage.Classify(u"2024/1/5 13:45:00", false).dateTime, DateTimeKind::DateTime);
}

// Plain decimals take a short way past the conversion; it must accept exactly what the
// conversion writes.
TEST(TextStorage, PlainNumbersAgreeWithTheConversion) {
    const TextStorage storage(kChina);
    std::vector<double> values;
    double integer = 1;
    for (int digits = 1; digits <= 17; ++digits, integer = integer * 10 + 7)
        values.push_back(integer);
    for (double scale = 1e-7; scale < 1e17; scale *= 10)
        for (double mantissa : {1.0, 1.5, 3.14159265358979, 1.23456789012345, 9.99999999999999})
            values.push_back(mantissa * scale);
    values.push_back(0.1 + 0.2);  // 0.30000000000000004
    for (double value : values) {
        for (double v : {value, -value}) {
            const std::string back = automation::VariantToString(Variant(v), kChina);
            const StoredText stored = storage.Classify(util::Utf8ToUtf16(back), false);
            EXPECT_EQ(stored.kind, StoredKind::Number) << back;
            EXPECT_EQ(automation::VariantToString(Variant(stored.number), kChina), back);
            // The same digits with a zero added are never what the conversion writes.
            const std::string padded =
                back.find('.') == std::string::npos ? "0" + back : back + "0";
            if (back.find('E') == std::string::npos) {
                EXPECT_EQ(storage.Classify(util::Utf8ToUtf16(padded), false).kind, StoredKind::Text)
                    << padded;
            }
        }
    }
}

// Texts made of the characters of numbers, dates and times, at random: whatever one is stored
// as, it must come back exactly (the short ways past the conversion must never accept a text
// that the conversion writes otherwise).
TEST(TextStorage, RandomNumberLikeTextsComeBackUnchanged) {
    std::mt19937 random(20240105);
    const std::u16string alphabet = u"0123456789000111222/:.,- E+";
    for (const QLocale& locale : {kChina, kGermany}) {
        const TextStorage storage(locale);
        int stored = 0;
        for (int i = 0; i < 20000; ++i) {
            std::u16string text(1 + random() % 19, u' ');
            for (char16_t& c : text)
                c = alphabet[random() % alphabet.size()];
            // Bias towards the shapes that matter: a date and a time.
            const std::u16string d = text + u"0123";
            if (i % 4 == 1)
                text = u"20" + d.substr(0, 2) + u"/" + d.substr(2, 1) + u"/1";
            if (i % 4 == 2)
                text = d.substr(0, 2) + u":" + d.substr(2, 2) + u":00";
            const StoredText result = storage.Classify(text, i % 2 == 0);
            if (result.kind == StoredKind::Text)
                continue;
            ++stored;
            const std::string back =
                automation::VariantToString(ValueOf(result, text, i % 2 == 0), locale);
            ASSERT_EQ(back, util::Utf16ToUtf8(text)) << "stored as " << KindName(result.kind);
        }
        EXPECT_GT(stored, 1000) << "the texts hardly ever read as numbers or dates";
    }
}

}  // namespace
}  // namespace spreadsheet
