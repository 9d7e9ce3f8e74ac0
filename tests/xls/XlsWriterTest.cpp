// Saving: what the session wrote goes in, everything else stays as the file had it.

#include <gtest/gtest.h>

#include "spreadsheet/xls/XlsReader.h"
#include "tests/xls/BiffBuilder.h"
#include "tests/xls/XlsTestSupport.h"

namespace {

using namespace xlstest;
using spreadsheet::CellType;
using spreadsheet::DateTimeKind;
using spreadsheet::NumberKind;
using spreadsheet::SpreadsheetError;
using spreadsheet::Workbook;

std::string Formula(std::uint16_t row, std::uint16_t col, std::string value) {
    return Rec(rec::kFormula,
               CellHead(row, col, 15) + value + U16(0) + U32(0) + U16(3) + U8(0x1E) + U16(1));
}
// A cell of a shared formula: its tokens are one PtgExp naming the range's first cell.
std::string SharedFormulaCell(std::uint16_t row, std::uint16_t col, double value,
                              std::uint16_t anchorRow, std::uint16_t anchorCol) {
    return Rec(rec::kFormula, CellHead(row, col, 15) + F64(value) + U16(0x0008) + U32(0) + U16(5) +
                                  U8(0x01) + U16(anchorRow) + U16(anchorCol));
}
std::string TextResult() {
    return U8(0) + U8(0) + U8(0) + U8(0) + U8(0) + U8(0) + U16(0xFFFF);
}

// A sheet laid out as Excel writes it: INDEX, DEFCOLWIDTH, DIMENSIONS, a block of ROW records,
// its cells and a DBCELL. The DBCELL and INDEX offsets are made right by a first save-free
// pass: the tests only need them present, the writer remakes them.
std::vector<std::string> ExcelLikeSheet(const std::vector<std::string>& rows,
                                        const std::vector<std::string>& cells, std::uint32_t rwMac,
                                        std::uint16_t colMac) {
    std::vector<std::string> out;
    out.push_back(Rec(rec::kIndex, U32(0) + U32(0) + U32(rwMac) + U32(0) + U32(0)));
    out.push_back(Rec(rec::kDefColWidth, U16(8)));
    out.push_back(Dimensions(0, rwMac, 0, colMac));
    for (const auto& r : rows)
        out.push_back(r);
    for (const auto& c : cells)
        out.push_back(c);
    out.push_back(Rec(rec::kDbCell, U32(0)));
    out.push_back(Rec(0x023E, std::string(18, '\0')));  // WINDOW2
    return out;
}

struct Fixture {
    std::string stream;
    std::string secondSheetBody;
};

Fixture MakeWorkbook() {
    auto g = StandardXfs({14});
    g.push_back(Rec(rec::kSst, U32(3) + U32(2) + U16(3) + U8(0) + "old" + U16(4) + U8(0x08) +
                                   U16(1) + "rich" + U16(1) + U16(5)));
    g.push_back(Rec(rec::kExtSst, U16(8) + U32(0) + U16(12) + U16(0)));
    const std::vector<std::string> rows = {RowRec(0, 0, 4), RowRec(1, 0, 2), RowRec(2, 0, 2),
                                           RowRec(3, 0, 2), RowRec(4, 0, 1)};
    const std::uint32_t rk1 = (1u << 2) | 2, rk2 = (2u << 2) | 2, rk3 = (3u << 2) | 2,
                        rk4 = (4u << 2) | 2;
    const std::vector<std::string> cells = {
        Rec(rec::kMulRk, U16(0) + U16(0) + U16(15) + U32(rk1) + U16(15) + U32(rk2) + U16(15) +
                             U32(rk3) + U16(15) + U32(rk4) + U16(3)),
        Formula(1, 0, TextResult()),
        Rec(rec::kString, UStr(u"cached")),
        LabelSst(1, 1, 0),
        // A shared formula over A3:A4, anchored at A3.
        SharedFormulaCell(2, 0, 10, 2, 0),
        Rec(rec::kSharedFormula, U16(2) + U16(3) + U8(0) + U8(0) + U16(0) + U16(0)),
        Number(2, 1, 7),
        SharedFormulaCell(3, 0, 11, 2, 0),
        Rec(rec::kMulBlank, U16(3) + U16(1) + U16(16) + U16(16) + U16(2)),
        LabelSst(4, 0, 1),
    };
    Fixture f;
    const std::vector<std::string> second = {Dimensions(0, 1, 0, 1), Number(0, 0, 99)};
    for (const auto& r : second)
        f.secondSheetBody += r;
    f.stream = BuildStream(g, {{u"Data", ExcelLikeSheet(rows, cells, 5, 4)}, {u"Other", second}});
    return f;
}

spreadsheet::Cell& Put(Workbook& wb, int row, int col) {
    auto& ws = wb.worksheet(0);
    return ws.Write(row, col, wb.codec().StyleForNewCell(ws, row, col));
}
void PutNumber(Workbook& wb, int row, int col, double v) {
    auto& c = Put(wb, row, col);
    c.type = CellType::Number;
    c.number = v;
    c.formula = false;
}
void PutText(Workbook& wb, int row, int col, std::u16string_view text) {
    auto& c = Put(wb, row, col);
    c.type = text.empty() ? CellType::Empty : CellType::Text;
    c.payload = text.empty() ? 0 : wb.strings().Intern(text);
    c.formula = false;
}

std::u16string TextAt(const Workbook& wb, int sheet, int row, int col) {
    const auto* c = wb.worksheet(sheet).Find(row, col);
    if (!c || c->type != CellType::Text)
        return u"<no text>";
    return wb.strings().at(c->payload);
}

TEST(XlsWriter, AWorkbookSavedUnchangedKeepsItsStreamAndFile) {
    const auto f = MakeWorkbook();
    auto loaded = LoadStream(f.stream);
    EXPECT_EQ(loaded.codec->SavedStream(*loaded.workbook), f.stream);
    EXPECT_EQ(loaded.codec->SavedBytes(*loaded.workbook), f.stream);
}

TEST(XlsWriter, WrittenCellsReplaceTheirRecordsAndNothingElseChanges) {
    const auto f = MakeWorkbook();
    auto loaded = LoadStream(f.stream);
    Workbook& wb = *loaded.workbook;
    PutNumber(wb, 1, 2, 20.5);     // the middle of the MULRK
    PutText(wb, 2, 1, u"新文本");  // over a formula with a STRING
    PutText(wb, 3, 1, u"anchor");  // over the anchor of a shared formula that A4 still uses
    PutText(wb, 2, 2, u"");        // over a shared string: a blank that keeps its style
    PutNumber(wb, 4, 3, 5);        // inside a MULBLANK, keeping its format
    PutNumber(wb, 40, 6, 1e300);   // a new row far below
    PutText(wb, 5, 1, u"old");     // a text the table has already
    const std::string saved = loaded.codec->SavedStream(wb);

    auto again = spreadsheet::xls::ParseWorkbookStream("t.xls", saved);
    const Workbook& back = *again.workbook;
    const auto& ws = back.worksheet(0);
    struct Expect {
        int row, col;
        CellType type;
        double number;
        std::uint32_t style;
    } numbers[] = {
        {1, 1, CellType::Number, 1, 15},      {1, 2, CellType::Number, 20.5, 15},
        {1, 3, CellType::Number, 3, 15},      {1, 4, CellType::Number, 4, 15},
        {3, 2, CellType::Number, 7, 15},      {4, 1, CellType::Number, 11, 15},
        {4, 2, CellType::Empty, 0, 16},       {4, 3, CellType::Number, 5, 16},
        {40, 6, CellType::Number, 1e300, 15}, {3, 2, CellType::Number, 7, 15},
        {2, 2, CellType::Empty, 0, 15},
    };
    for (const auto& e : numbers) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << " col " << e.col);
        const auto* c = ws.Find(e.row, e.col);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->type, e.type);
        EXPECT_EQ(c->style, e.style);
        if (e.type == CellType::Number) {
            EXPECT_EQ(c->number, e.number);
        }
    }
    EXPECT_EQ(TextAt(back, 0, 2, 1), u"新文本");
    EXPECT_FALSE(ws.Find(2, 1)->formula);
    EXPECT_EQ(TextAt(back, 0, 3, 1), u"anchor");
    EXPECT_EQ(TextAt(back, 0, 5, 1), u"old");
    EXPECT_EQ(TextAt(back, 0, 5, 1), u"old");
    EXPECT_EQ(back.strings().size(), again.document.sstFormatting.size());  // no stray STRING left

    // The shared formula stays for A4 and moves behind it, the first formula left in its
    // range; the STRING of the overwritten formula is gone.
    std::size_t sharedFormulas = 0, strings = 0;
    const auto records = spreadsheet::xls::ReadSubstream(saved, again.document.sheets[0].start);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].record.id == rec::kSharedFormula) {
            ++sharedFormulas;
            EXPECT_EQ(records[i - 1].record.id, rec::kFormula);
            EXPECT_EQ(GetU16(records[i - 1].record.data, 0), 3u);
            // A4 is the shared formula's first cell now: the range and A4's reference say so.
            EXPECT_EQ(GetU16(records[i].record.data, 0), 3u);
            EXPECT_EQ(GetU16(records[i - 1].record.data, 23), 3u);
        }
        if (records[i].record.id == rec::kString)
            ++strings;
        if (records[i].record.id == rec::kDimensions) {
            EXPECT_EQ(GetU32(records[i].record.data, 4), 40u);  // rows up to 40
            EXPECT_EQ(GetU16(records[i].record.data, 10), 6u);  // columns up to F
        }
        if (records[i].record.id == rec::kRow && GetU16(records[i].record.data, 0) == 39) {
            EXPECT_EQ(GetU16(records[i].record.data, 2), 5u);
            EXPECT_EQ(GetU16(records[i].record.data, 4), 6u);
        }
    }
    EXPECT_EQ(sharedFormulas, 1u);
    EXPECT_EQ(strings, 0u);

    // The second sheet is copied byte for byte, at its new offset.
    const auto& other = again.document.sheets[1];
    EXPECT_NE(saved.substr(other.start, other.end - other.start).find(f.secondSheetBody),
              std::string::npos);
    EXPECT_EQ(back.worksheet(1).Find(1, 1)->number, 99);
    // The rich string keeps its formatting run.
    EXPECT_EQ(again.document.sstFormatting[1].runs, U16(1) + U16(5));
    ExpectConsistentCellIndex(saved);
}

TEST(XlsWriter, ManyAndLongNewTextsGoIntoTheSharedStringsWithContinueRecords) {
    auto loaded = LoadStream(MakeWorkbook().stream);
    Workbook& wb = *loaded.workbook;
    std::u16string longChinese;
    for (int i = 0; i < 9000; ++i)
        longChinese.push_back(static_cast<char16_t>(u'一' + i % 500));
    std::u16string longLatin(20000, u'x');
    longLatin[19999] = u'y';
    std::vector<std::u16string> texts = {longChinese, longLatin, u"😀 outside the BMP"};
    for (int i = 0; i < 3000; ++i)
        texts.push_back(u"text " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"#" +
                        std::u16string(i % 7, u'z') +
                        std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                        std::u16string(1, static_cast<char16_t>(u'a' + (i / 10) % 26)) +
                        std::u16string(1, static_cast<char16_t>(u'a' + (i / 260) % 26)));
    for (std::size_t i = 0; i < texts.size(); ++i)
        PutText(wb, 100 + static_cast<int>(i), 2, texts[i]);
    const std::string saved = loaded.codec->SavedStream(wb);
    auto again = spreadsheet::xls::ParseWorkbookStream("t.xls", saved);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(TextAt(*again.workbook, 0, 100 + static_cast<int>(i), 2), texts[i]) << i;
    }
    EXPECT_EQ(TextAt(*again.workbook, 0, 5, 1), u"rich");
    ExpectConsistentCellIndex(saved);

    // Each EXTSST entry points at the start of every eighth (or more) string.
    const auto& doc = again.document;
    ASSERT_TRUE(doc.extSstRecord);
    const auto& ext = doc.globals[*doc.extSstRecord];
    const std::size_t dsst = GetU16(ext.data, 0);
    std::vector<std::u16string> table;
    for (std::size_t i = 0; i < doc.sstFormatting.size(); ++i)
        table.push_back(again.workbook->strings().at(static_cast<std::uint32_t>(i)));
    for (std::size_t e = 0; 2 + 8 * e + 8 <= ext.data.size(); ++e) {
        const std::size_t pos = GetU32(ext.data, 2 + 8 * e);
        const std::size_t inRecord = GetU16(ext.data, 2 + 8 * e + 4);
        const auto record = spreadsheet::xls::ReadRecordAt(saved, pos - inRecord);
        EXPECT_TRUE(record.id == rec::kSst || record.id == rec::kContinue);
        EXPECT_EQ(GetU16(saved, pos), table.at(e * dsst).size()) << "bucket " << e;
    }
}

TEST(XlsWriter, AWorkbookWithoutSharedStringsGetsThemForItsFirstText) {
    // Writers that store texts in LABEL records may leave the table out altogether.
    auto loaded = LoadStream(BuildStream(
        StandardXfs(),
        {{u"S", {Dimensions(0, 1, 0, 1), Rec(rec::kLabel, CellHead(0, 0, 15) + UStr(u"label"))}}}));
    PutText(*loaded.workbook, 2, 1, u"label");
    PutText(*loaded.workbook, 3, 1, u"新的");
    const std::string saved = loaded.codec->SavedStream(*loaded.workbook);
    auto again = spreadsheet::xls::ParseWorkbookStream("t.xls", saved);
    ASSERT_TRUE(again.document.sstRecord);
    ASSERT_TRUE(again.document.extSstRecord);
    EXPECT_EQ(again.document.sstFormatting.size(), 2u);
    EXPECT_EQ(GetU32(again.document.globals[*again.document.sstRecord].data, 0), 2u);
    EXPECT_EQ(TextAt(*again.workbook, 0, 1, 1), u"label");
    EXPECT_EQ(TextAt(*again.workbook, 0, 2, 1), u"label");
    EXPECT_EQ(TextAt(*again.workbook, 0, 3, 1), u"新的");
}

TEST(XlsWriter, NewCellsTakeTheirRowsOrColumnsFormat) {
    auto g = StandardXfs({0, 0, 14});  // 16, 17, 18
    const std::vector<std::string> sheet = {
        Rec(rec::kColInfo, U16(2) + U16(4) + U16(2000) + U16(17) + U16(0) + U16(0)),
        Dimensions(0, 0, 0, 0), RowRec(1, 0, 0, 0x0180, 16),  // row 2 formatted (fGhostDirty)
        RowRec(2, 0, 0, 0x0100, 18),  // row 3: an XF without the flag does not count
    };
    auto loaded = LoadStream(BuildStream(g, {{u"S", sheet}}));
    const auto& codec = *loaded.codec;
    const auto& ws = loaded.workbook->worksheet(0);
    struct Case {
        int row, col;
        std::uint32_t style;
    } cases[] = {{2, 1, 16}, {2, 4, 16}, {3, 4, 17}, {1, 3, 17},
                 {1, 5, 17}, {1, 6, 15}, {3, 1, 15}};
    for (const auto& c : cases)
        EXPECT_EQ(codec.StyleForNewCell(ws, c.row, c.col), c.style) << c.row << "," << c.col;
}

TEST(XlsWriter, DatesInGeneralCellsGetADateStyleThatIsSaved) {
    auto g = StandardXfs({14, 0});  // 16 a date cell, 17 a general cell with its own font
    g.back() = Rec(rec::kXf, [] {
        auto d = XfData(0, false);
        PutU16At(d, 0, 5);
        return d;
    }());
    g.insert(g.begin(), Rec(rec::kFormat, U16(170) + UStr(u"0.00%")));
    auto loaded = LoadStream(BuildStream(g, {{u"S", {Dimensions(0, 0, 0, 0)}}}));
    auto& codec = *loaded.codec;
    EXPECT_TRUE(codec.IsGeneralStyle(15));
    EXPECT_FALSE(codec.IsGeneralStyle(16));
    EXPECT_EQ(codec.NumberKindOf(16), NumberKind::Date);

    const auto dateStyle = codec.DateStyleFor(15, DateTimeKind::Date);
    EXPECT_EQ(dateStyle, 16u) << "an existing XF that differs only by the format is reused";
    const auto dateTime = codec.DateStyleFor(17, DateTimeKind::DateTime);
    EXPECT_EQ(dateTime, 18u);
    EXPECT_EQ(codec.DateStyleFor(17, DateTimeKind::DateTime), dateTime);
    const auto time = codec.DateStyleFor(17, DateTimeKind::Time);
    EXPECT_EQ(time, 19u);
    EXPECT_EQ(codec.NumberKindOf(dateTime), NumberKind::Date);
    EXPECT_EQ(codec.NumberKindOf(time), NumberKind::Date);

    auto& c = loaded.workbook->worksheet(0).Write(1, 1, 15);
    c.type = CellType::Number;
    c.number = 45296.5;
    c.style = dateTime;
    const std::string saved = codec.SavedStream(*loaded.workbook);
    auto again = spreadsheet::xls::ParseWorkbookStream("t.xls", saved);
    ASSERT_EQ(again.document.xfs.size(), 20u);
    EXPECT_EQ(again.document.xfs[18].formatId, 171);
    EXPECT_EQ(GetU16(again.document.xfs[18].bytes, 0), 5u) << "the clone keeps the font";
    EXPECT_EQ(again.document.formats.at(171), u"yyyy/m/d h:mm:ss");
    EXPECT_EQ(again.document.xfs[19].formatId, 21);
    EXPECT_EQ(again.workbook->worksheet(0).Find(1, 1)->style, 18u);
}

TEST(XlsWriter, ACellBeyondTheSheetIsNeverWritten) {
    for (const auto& [row, col] : {std::pair{65537, 1}, std::pair{1, 257}}) {
        auto loaded = LoadStream(MakeWorkbook().stream);
        PutNumber(*loaded.workbook, row, col, 1);
        EXPECT_THROW(loaded.codec->SavedStream(*loaded.workbook), SpreadsheetError)
            << row << "," << col;
    }
    auto loaded = LoadStream(MakeWorkbook().stream);
    PutNumber(*loaded.workbook, 65536, 256, 1);
    auto again =
        spreadsheet::xls::ParseWorkbookStream("t.xls", loaded.codec->SavedStream(*loaded.workbook));
    EXPECT_EQ(again.workbook->worksheet(0).Find(65536, 256)->number, 1);
}

TEST(XlsWriter, AnExcel95WorkbookIsNotSaved) {
    std::vector<std::string> g;
    for (int i = 0; i < 16; ++i)
        g.push_back(Rec(rec::kXf, std::string(16, '\0')));
    auto loaded = LoadStream(BuildStream(g, {{u"S", {Number(0, 0, 1)}}}, false, 1252));
    PutNumber(*loaded.workbook, 1, 1, 2);
    try {
        loaded.codec->SavedBytes(*loaded.workbook);
        FAIL() << "saved";
    } catch (const SpreadsheetError& e) {
        EXPECT_NE(std::string(e.what()).find("BIFF5"), std::string::npos) << e.what();
    }
}

}  // namespace
