#include "spreadsheet/core/NumberFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace spreadsheet {
namespace {

const char* KindName(NumberKind kind) {
    switch (kind) {
        case NumberKind::Plain:
            return "Plain";
        case NumberKind::Date:
            return "Date";
        case NumberKind::Currency:
            return "Currency";
    }
    return "?";
}

struct FormatCase {
    std::u16string code;
    NumberKind kind;
};

TEST(NumberFormat, ClassifiesFormatCodes) {
    const FormatCase cases[] = {
        // Plain numbers and texts.
        {u"", NumberKind::Plain},
        {u"General", NumberKind::Plain},
        {u"GENERAL", NumberKind::Plain},
        {u"0.00", NumberKind::Plain},
        {u"#,##0.00_);[Red](#,##0.00)", NumberKind::Plain},
        {u"0.00E+00", NumberKind::Plain},
        {u"##0.0E+0", NumberKind::Plain},
        {u"@", NumberKind::Plain},
        {u"0%", NumberKind::Plain},
        {u"# ?/?", NumberKind::Plain},
        // Letters that are date codes elsewhere mean nothing inside quotes, escapes or fills.
        {u"0.0\" days\"", NumberKind::Plain},
        {u"0\\h", NumberKind::Plain},
        {u"0_m", NumberKind::Plain},
        {u"*s0", NumberKind::Plain},
        {u"[Red]0.00", NumberKind::Plain},
        {u"[Color10]0", NumberKind::Plain},
        {u"[>100]0;0.0", NumberKind::Plain},
        {u"[DBNum1][$-804]General", NumberKind::Plain},
        {u"[$-804]0.00", NumberKind::Plain},
        {u"[$-x-sysdate]0", NumberKind::Plain},
        {u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", NumberKind::Plain},
        // Dates and times.
        {u"m/d/yy", NumberKind::Date},
        {u"yyyy-mm-dd", NumberKind::Date},
        {u"YYYY/M/D", NumberKind::Date},
        {u"d-mmm", NumberKind::Date},
        {u"h:mm AM/PM", NumberKind::Date},
        {u"hh:mm:ss", NumberKind::Date},
        {u"mm:ss.0", NumberKind::Date},
        {u"[h]:mm:ss", NumberKind::Date},
        {u"[mm]", NumberKind::Date},
        {u"[SS]", NumberKind::Date},
        {u"yyyy\"年\"m\"月\"d\"日\"", NumberKind::Date},
        {u"[$-804]yyyy\"年\"m\"月\"", NumberKind::Date},
        {u"[$-F800]dddd, mmmm dd, yyyy", NumberKind::Date},
        {u"[DBNum1][$-804]h\"时\"mm\"分\"", NumberKind::Date},
        {u"上午/下午h\"时\"mm\"分\"", NumberKind::Date},
        {u"[Red]d/m/yyyy", NumberKind::Date},
        {u"\"$\"yyyy", NumberKind::Date},  // shows as a date, whatever the sign
        // Currency: signs bare, quoted, escaped or in a [$sign-lcid] tag.
        {u"\"$\"#,##0_);(\"$\"#,##0)", NumberKind::Currency},
        {u"$#,##0.00", NumberKind::Currency},
        {u"\\$#,##0", NumberKind::Currency},
        {u"¥#,##0.00;¥-#,##0.00", NumberKind::Currency},
        {u"\"¥\"#,##0.00", NumberKind::Currency},
        {u"￥#,##0", NumberKind::Currency},
        {u"#,##0.00 €", NumberKind::Currency},
        {u"£#,##0", NumberKind::Currency},
        {u"[$¥-804]#,##0.00", NumberKind::Currency},
        {u"[$$-409]#,##0.00", NumberKind::Currency},
        {u"[$€-2] #,##0.00", NumberKind::Currency},
        {u"[$USD] #,##0", NumberKind::Currency},
        {u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\)", NumberKind::Currency},
        // Only the first section decides.
        {u"0.00;\"$\"0.00", NumberKind::Plain},
        {u"0;yyyy", NumberKind::Plain},
        {u"\"a;b\"yyyy", NumberKind::Date},
        {u"\\;yy", NumberKind::Date},
        // Broken codes end without reading past the text.
        {u"\"unclosed", NumberKind::Plain},
        {u"0\\", NumberKind::Plain},
        {u"[h", NumberKind::Date},
        {u"[", NumberKind::Plain},
        {u"_", NumberKind::Plain},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(KindName(ClassifyNumberFormat(c.code)), KindName(c.kind))
            << "format code: " << std::string(c.code.begin(), c.code.end());
    }
}

TEST(NumberFormat, ClassifiesBuiltInFormatNumbers) {
    const std::pair<int, NumberKind> cases[] = {
        {-1, NumberKind::Plain},   {0, NumberKind::Plain},     {4, NumberKind::Plain},
        {5, NumberKind::Currency}, {8, NumberKind::Currency},  {9, NumberKind::Plain},
        {13, NumberKind::Plain},   {14, NumberKind::Date},     {22, NumberKind::Date},
        {23, NumberKind::Plain},   {27, NumberKind::Date},     {36, NumberKind::Date},
        {37, NumberKind::Plain},   {41, NumberKind::Plain},    {42, NumberKind::Currency},
        {43, NumberKind::Plain},   {44, NumberKind::Currency}, {45, NumberKind::Date},
        {47, NumberKind::Date},    {48, NumberKind::Plain},    {49, NumberKind::Plain},
        {50, NumberKind::Date},    {58, NumberKind::Date},     {59, NumberKind::Plain},
        {164, NumberKind::Plain},
    };
    for (const auto& [id, kind] : cases)
        EXPECT_STREQ(KindName(BuiltInNumberFormatKind(id)), KindName(kind)) << "format " << id;
}

}  // namespace
}  // namespace spreadsheet
