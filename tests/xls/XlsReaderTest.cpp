// Reading workbook streams built here record by record: the string table across CONTINUE
// records, every cell record, BIFF5 text in its code page, and the refusals.

#include <gtest/gtest.h>

#include <cmath>

#include "spreadsheet/xls/XlsReader.h"
#include "tests/xls/BiffBuilder.h"

namespace {

using namespace xlstest;
using spreadsheet::CellType;
using spreadsheet::SheetVisibility;
using spreadsheet::SpreadsheetError;
using spreadsheet::xls::ParseWorkbookStream;

std::u16string TextAt(const spreadsheet::Workbook& wb, int sheet, int row, int col) {
    const auto* c = wb.worksheet(sheet).Find(row, col);
    if (!c || c->type != CellType::Text)
        return u"<no text>";
    return wb.strings().at(c->payload);
}

// The SST split into records at the given data offsets (into its data after the 8-byte counts
// are part of the first record); each CONTINUE that starts inside characters gets `flag`.
TEST(XlsReader, SharedStringsGoOnAcrossContinueRecords) {
    // String 0: "abcdef" compressed, split after "abc"; the rest comes back as UTF-16 with
    // a Chinese character, as Excel does when a CONTINUE needs the wider form.
    // String 1: rich text "rich" with two runs, the split falling inside the second run.
    // String 2: with a phonetic block of 10 bytes split in its middle.
    // String 3: a plain string after them all, read only when every skip was right.
    std::string first = U32(4) + U32(4);
    first += U16(7) + U8(0x00) + "abc";
    std::string cont1 = U8(0x01) + Chars(u"def中", true);
    cont1 += U16(4) + U8(0x08) + U16(2) + "rich" + U16(0) + U16(1) + U16(2);
    std::string cont2 = U16(5);  // the second run's font index, cut in two
    cont2 += U16(3) + U8(0x04) + U32(10) + "jp!" + std::string(5, 'P');
    std::string cont3 = std::string(5, 'Q') + U16(4) + U8(0x01) + Chars(u"末尾ok", true);

    const std::vector<std::string> globals = [&] {
        auto g = StandardXfs();
        g.push_back(Rec(rec::kSst, first));
        g.push_back(Rec(rec::kContinue, cont1));
        g.push_back(Rec(rec::kContinue, cont2));
        g.push_back(Rec(rec::kContinue, cont3));
        return g;
    }();
    const std::string stream = BuildStream(
        globals,
        {{u"S", {LabelSst(0, 0, 0), LabelSst(1, 0, 1), LabelSst(2, 0, 2), LabelSst(3, 0, 3)}}});
    auto parsed = ParseWorkbookStream("t.xls", stream);
    const auto& wb = *parsed.workbook;
    EXPECT_EQ(TextAt(wb, 0, 1, 1), u"abcdef中");
    EXPECT_EQ(TextAt(wb, 0, 2, 1), u"rich");
    EXPECT_EQ(TextAt(wb, 0, 3, 1), u"jp!");
    EXPECT_EQ(TextAt(wb, 0, 4, 1), u"末尾ok");
    ASSERT_EQ(parsed.document.sstFormatting.size(), 4u);
    EXPECT_EQ(parsed.document.sstFormatting[1].runs, U16(0) + U16(1) + U16(2) + U16(5));
    EXPECT_EQ(parsed.document.sstFormatting[2].phonetic, std::string(5, 'P') + std::string(5, 'Q'));
}

TEST(XlsReader, ReadsEveryKindOfCellRecord) {
    auto rk = [](std::uint16_t row, std::uint16_t col, std::uint32_t v) {
        return Rec(rec::kRk, CellHead(row, col, 15) + U32(v));
    };
    // RK forms: integer, integer / 100, the top bits of a double, that double / 100.
    const std::uint32_t rkInt = (12345u << 2) | 0x02;
    const std::uint32_t rkIntCents = (12345u << 2) | 0x03;
    const std::uint32_t rkDouble = 0x3FF80000u;  // 1.5
    const std::uint32_t rkDoubleCents = 0x3FF80000u | 0x01;
    const std::uint32_t rkNegative = static_cast<std::uint32_t>(-7 * 4) | 0x02;
    auto formula = [](std::uint16_t row, std::uint16_t col, std::string value) {
        return Rec(rec::kFormula,
                   CellHead(row, col, 15) + value + U16(0) + U32(0) + U16(3) + U8(0x1E) + U16(1));
    };
    auto nonNumeric = [](std::uint8_t kind, std::uint8_t v) {
        return U8(kind) + U8(0) + U8(v) + U8(0) + U8(0) + U8(0) + U16(0xFFFF);
    };
    const std::vector<std::string> cells = {
        rk(0, 0, rkInt),
        rk(0, 1, rkIntCents),
        rk(0, 2, rkDouble),
        rk(0, 3, rkDoubleCents),
        rk(0, 4, rkNegative),
        Rec(rec::kMulRk, U16(1) + U16(2) + U16(15) + U32(rkInt) + U16(16) + U32(rkDouble) +
                             U16(15) + U32(rkNegative) + U16(4)),
        Number(2, 0, -0.25),
        Rec(rec::kBoolErr, CellHead(2, 1, 15) + U8(1) + U8(0)),
        Rec(rec::kBoolErr, CellHead(2, 2, 15) + U8(0x07) + U8(1)),
        Blank(2, 3, 16),
        Rec(rec::kMulBlank, U16(3) + U16(0) + U16(16) + U16(15) + U16(16) + U16(2)),
        Rec(rec::kLabel, CellHead(4, 0, 15) + UStr(u"标签")),
        formula(5, 0, F64(42.5)),
        formula(5, 1, nonNumeric(0, 0)),
        Rec(rec::kSharedFormula, U16(5) + U16(6) + U8(1) + U8(1) + U16(0) + U16(0)),
        Rec(rec::kString, UStr(u"公式结果")),
        formula(5, 2, nonNumeric(1, 1)),
        formula(5, 3, nonNumeric(2, 0x2A)),
        formula(5, 4, nonNumeric(3, 0)),
    };
    auto g = StandardXfs({14});
    const std::string stream = BuildStream(g, {{u"S", cells}});
    auto parsed = ParseWorkbookStream("t.xls", stream);
    const auto& ws = parsed.workbook->worksheet(0);
    struct Expect {
        int row, col;
        CellType type;
        double number;
        std::uint32_t payload;
        std::uint32_t style;
        bool formula;
    };
    const Expect expected[] = {
        {1, 1, CellType::Number, 12345, 0, 15, false},
        {1, 2, CellType::Number, 123.45, 0, 15, false},
        {1, 3, CellType::Number, 1.5, 0, 15, false},
        {1, 4, CellType::Number, 0.015, 0, 15, false},
        {1, 5, CellType::Number, -7, 0, 15, false},
        {2, 3, CellType::Number, 12345, 0, 15, false},
        {2, 4, CellType::Number, 1.5, 0, 16, false},
        {2, 5, CellType::Number, -7, 0, 15, false},
        {3, 1, CellType::Number, -0.25, 0, 15, false},
        {3, 2, CellType::Boolean, 0, 1, 15, false},
        {3, 3, CellType::Error, 0, 0x07, 15, false},
        {3, 4, CellType::Empty, 0, 0, 16, false},
        {4, 1, CellType::Empty, 0, 0, 16, false},
        {4, 2, CellType::Empty, 0, 0, 15, false},
        {4, 3, CellType::Empty, 0, 0, 16, false},
        {6, 1, CellType::Number, 42.5, 0, 15, true},
        {6, 3, CellType::Boolean, 0, 1, 15, true},
        {6, 4, CellType::Error, 0, 0x2A, 15, true},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << " col " << e.col);
        const auto* c = ws.Find(e.row, e.col);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->type, e.type);
        EXPECT_EQ(c->style, e.style);
        EXPECT_EQ(c->formula, e.formula);
        if (e.type == CellType::Number) {
            EXPECT_NEAR(c->number, e.number, 1e-12);
        }
        if (e.type == CellType::Boolean || e.type == CellType::Error) {
            EXPECT_EQ(c->payload, e.payload);
        }
    }
    EXPECT_EQ(TextAt(*parsed.workbook, 0, 5, 1), u"标签");
    EXPECT_EQ(TextAt(*parsed.workbook, 0, 6, 2), u"公式结果");
    EXPECT_EQ(TextAt(*parsed.workbook, 0, 6, 5), u"");
    EXPECT_EQ(ws.Find(1, 6), nullptr);
}

TEST(XlsReader, SheetsKeepTheirOrderTypesAndVisibility) {
    auto g = StandardXfs();
    g.push_back(Rec(rec::kDateMode, U16(1)));
    const std::string stream = BuildStream(
        g, {{u"一", {}, 0, 0}, {u"Chart", {}, 2, 0}, {u"hidden", {}, 0, 1}, {u"very", {}, 0, 2}});
    auto parsed = ParseWorkbookStream("t.xls", stream);
    const auto& wb = *parsed.workbook;
    ASSERT_EQ(wb.worksheetCount(), 3);
    EXPECT_EQ(wb.worksheet(0).name(), u"一");
    EXPECT_EQ(wb.worksheet(1).name(), u"hidden");
    EXPECT_EQ(wb.worksheet(1).visibility(), SheetVisibility::Hidden);
    EXPECT_EQ(wb.worksheet(2).visibility(), SheetVisibility::VeryHidden);
    EXPECT_TRUE(wb.date1904());
    EXPECT_EQ(parsed.document.sheets.size(), 4u);
}

TEST(XlsReader, Biff5TextIsDecodedWithTheWorkbookCodePage) {
    // "中文" in code page 936 (GBK), and a FORMAT and a LABEL in BIFF5 form.
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    std::vector<std::string> g;
    g.push_back(Rec(rec::kFormat, U16(164) + U8(10) + "yyyy-mm-dd"));
    for (int i = 0; i < 15; ++i)
        g.push_back(Rec(rec::kXf, std::string(16, '\0')));
    g.push_back(Rec(rec::kXf, U16(0) + U16(164) + std::string(12, '\0')));
    std::u16string sheetName;
    for (char c : gbk)
        sheetName.push_back(static_cast<unsigned char>(c));
    const std::string stream = BuildStream(
        g,
        {{sheetName,
          {Rec(rec::kLabel, CellHead(0, 0, 15) + U16(4) + gbk), Number(1, 0, 45000, 15)}}},
        false, 936);
    auto parsed = ParseWorkbookStream("t.xls", stream);
    EXPECT_EQ(parsed.document.version, spreadsheet::xls::BiffVersion::Biff5);
    EXPECT_EQ(parsed.workbook->worksheet(0).name(), u"中文");
    EXPECT_EQ(TextAt(*parsed.workbook, 0, 1, 1), u"中文");
    EXPECT_EQ(parsed.document.formats.at(164), u"yyyy-mm-dd");
    EXPECT_EQ(parsed.document.xfs.at(15).formatId, 164);
}

TEST(XlsReader, RefusesBrokenOrUnsupportedStreamsWithTheReason) {
    const auto good = BuildStream(StandardXfs(), {{u"S", {Number(0, 0, 1)}}});
    std::string badLength = good;
    // The NUMBER record's length claims more than the stream holds.
    const std::size_t numberAt = badLength.rfind(Number(0, 0, 1));
    PutU16At(badLength, numberAt + 2, 0x4000);
    auto withFilePass = StandardXfs();
    withFilePass.insert(withFilePass.begin(), Rec(rec::kFilePass, U16(1) + std::string(52, '\0')));
    auto sstTooShort = StandardXfs();
    sstTooShort.push_back(Rec(rec::kSst, U32(3) + U32(3) + U16(1) + U8(0) + "a"));
    struct Case {
        const char* name;
        std::string stream;
        const char* reason;
    } cases[] = {
        {"encrypted", BuildStream(withFilePass, {{u"S", {}}}), "encrypted"},
        {"record length beyond the stream", badLength, "beyond the stream end"},
        {"stream cut inside a sheet", good.substr(0, good.size() - 6), "beyond the stream end"},
        {"sheet without EOF", good.substr(0, good.size() - 4), "no end-of-file record"},
        {"BIFF4", Rec(rec::kBofBiff4, U16(0) + U16(0x10)) + Rec(rec::kEof, ""), "BIFF2-4"},
        {"not a workbook", std::string("hello world, no records here"), "damaged"},
        {"shared strings fewer than counted", BuildStream(sstTooShort, {{u"S", {}}}),
         "shared string table"},
        {"text of a missing shared string",
         BuildStream(StandardXfs(), {{u"S", {LabelSst(0, 0, 5)}}}), "shared string"},
        {"two sheets claiming the same records",
         [] {
             std::string twice = BuildStream(StandardXfs(), {{u"A", {}}, {u"B", {}}});
             std::vector<std::size_t> bound;
             for (std::size_t at = 0; at < twice.size();) {
                 const auto r = spreadsheet::xls::ReadRecordAt(twice, at);
                 if (r.id == rec::kBoundSheet)
                     bound.push_back(r.offset + 4);
                 if (r.id == rec::kEof)
                     break;
                 at = r.end();
             }
             PutU32At(twice, bound.at(1), GetU32(twice, bound.at(0)));
             return twice;
         }(),
         "same offset"},
        {"empty stream", std::string(), "damaged"},
        {"a run of numbers with none in it",
         BuildStream(StandardXfs(), {{u"S", {Rec(rec::kMulRk, U16(0) + U16(0) + U16(0))}}}),
         "too short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ParseWorkbookStream("t.xls", c.stream);
            ADD_FAILURE() << "no error";
        } catch (const SpreadsheetError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

}  // namespace
