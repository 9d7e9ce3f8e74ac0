// Reading and saving small packages built part by part, so each case shows one rule.

#include <gtest/gtest.h>

#include <cmath>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xlsx/FormulaShift.h"
#include "spreadsheet/xlsx/XlsxCodec.h"
#include "tests/support/FaultInjectionEnv.h"
#include "tests/xlsx/XlsxTestSupport.h"
#include "util/Env.h"

namespace {

using namespace spreadsheet;
using namespace xlsxtest;
namespace fs = std::filesystem;

const char* kStyles = R"(<?xml version="1.0" encoding="UTF-8"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="1"><numFmt numFmtId="164" formatCode="&quot;¥&quot;#,##0.00"/></numFmts><fonts count="1"><font><sz val="11"/></font></fonts><cellXfs count="4"><xf numFmtId="0" fontId="0"/><xf numFmtId="14" fontId="0" applyNumberFormat="1"/><xf numFmtId="164" fontId="0" applyNumberFormat="1"/><xf numFmtId="0" fontId="0"><alignment horizontal="center"/></xf></cellXfs></styleSheet>)";

const char* kSharedStrings = R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="5" uniqueCount="4"><si><t>plain</t></si><si><r><rPr><b/></rPr><t>rich </t></r><r><t xml:space="preserve">text </t></r></si><si><t>東京</t><rPh sb="0" eb="2"><t>トウキョウ</t></rPh></si><si><t xml:space="preserve">  </t></si></sst>)";

std::string WorkbookRels(const std::string& more) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)" +
           more + "</Relationships>";
}

const std::string kStylesRel =
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)";
const std::string kStringsRel =
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)";

std::map<std::string, std::string> StyledParts(const std::string& sheetXml) {
    return OneSheetParts(sheetXml,
                         {{"xl/_rels/workbook.xml.rels", WorkbookRels(kStylesRel + kStringsRel)},
                          {"xl/styles.xml", kStyles},
                          {"xl/sharedStrings.xml", kSharedStrings}});
}

std::unique_ptr<Workbook> Load(const std::map<std::string, std::string>& parts) {
    return xlsx::LoadXlsx("book.xlsx", MakePackage(parts));
}

TEST(XlsxRead, EveryKindOfCellValue) {
    const auto wb = Load(StyledParts(SheetXml(R"(<sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row>
<row r="2"><c r="A2"><v>-1.5E-3</v></c><c r="B2" s="1"><v>45296</v></c><c r="C2" s="2"><v>12.5</v></c><c r="D2" s="3"/></row>
<row r="3"><c r="A3" t="b"><v>1</v></c><c r="B3" t="e"><v>#DIV/0!</v></c><c r="C3" t="e"><v>#N/A</v></c><c r="D3" t="inlineStr"><is><t>in&amp;line_x000D_</t></is></c></row>
<row r="4"><c r="A4" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="B4"><f>1+1</f><v>2</v></c><c r="C4"><f>NOW()</f></c><c r="D4" t="d"><v>2024-01-05T12:00:00</v></c></row>
<row><c><v>7</v></c><c><v>8</v></c></row>
</sheetData>)")));
    ASSERT_EQ(wb->worksheetCount(), 1);
    const Worksheet& s = wb->worksheet(0);
    EXPECT_EQ(TextAt(*wb, 0, 1, 1), "plain");
    EXPECT_EQ(TextAt(*wb, 0, 1, 2), "rich text ");
    EXPECT_EQ(TextAt(*wb, 0, 1, 3), "東京");  // the reading aid is no part of the text
    EXPECT_EQ(TextAt(*wb, 0, 1, 4), "  ");
    EXPECT_EQ(s.Find(2, 1)->number, -0.0015);
    EXPECT_EQ(wb->codec().NumberKindOf(s.Find(2, 2)->style), NumberKind::Date);
    EXPECT_EQ(wb->codec().NumberKindOf(s.Find(2, 3)->style), NumberKind::Currency);
    EXPECT_EQ(wb->codec().NumberKindOf(s.Find(2, 1)->style), NumberKind::Plain);
    ASSERT_NE(s.Find(2, 4), nullptr);  // formatting alone: a cell with no value
    EXPECT_EQ(s.Find(2, 4)->type, CellType::Empty);
    EXPECT_EQ(s.Find(3, 1)->type, CellType::Boolean);
    EXPECT_EQ(s.Find(3, 1)->payload, 1u);
    EXPECT_EQ(s.Find(3, 2)->payload, static_cast<std::uint32_t>(CellError::Div0));
    EXPECT_EQ(s.Find(3, 3)->payload, static_cast<std::uint32_t>(CellError::NA));
    EXPECT_EQ(TextAt(*wb, 0, 3, 4), "in&line\r");
    EXPECT_EQ(TextAt(*wb, 0, 4, 1), "ab");
    EXPECT_TRUE(s.Find(4, 1)->formula);
    EXPECT_EQ(s.Find(4, 2)->number, 2);
    EXPECT_TRUE(s.Find(4, 3)->formula);
    EXPECT_EQ(s.Find(4, 3)->type, CellType::Empty);
    EXPECT_DOUBLE_EQ(s.Find(4, 4)->number, 45296.5);
    EXPECT_EQ(s.Find(5, 1)->number, 7);  // rows and cells without r follow the one before
    EXPECT_EQ(s.Find(5, 2)->number, 8);
    EXPECT_EQ(wb->codec().limits().rows, 1048576);
    EXPECT_EQ(wb->codec().limits().columns, 16384);
}

TEST(XlsxRead, SheetsInWorkbookOrderWithoutChartSheets) {
    auto parts = OneSheetParts(SheetXml("<sheetData/>"));
    parts["xl/workbook.xml"] =
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr date1904="1"/><sheets><sheet name="图表" sheetId="3" r:id="rId3"/><sheet name="Second" sheetId="2" r:id="rId2" state="hidden"/><sheet name="First" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    parts["xl/_rels/workbook.xml.rels"] = WorkbookRels(
        R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet" Target="chartsheets/sheet1.xml"/>)");
    parts["xl/worksheets/sheet2.xml"] =
        SheetXml(R"(<sheetData><row r="3"><c r="B3"><v>1</v></c></row></sheetData>)");
    const auto wb = Load(parts);
    ASSERT_EQ(wb->worksheetCount(), 2);
    EXPECT_EQ(U8(wb->worksheet(0).name()), "Second");
    EXPECT_EQ(wb->worksheet(0).visibility(), SheetVisibility::Hidden);
    EXPECT_EQ(wb->worksheet(0).Find(3, 2)->number, 1);
    EXPECT_EQ(U8(wb->worksheet(1).name()), "First");
    EXPECT_TRUE(wb->date1904());
}

TEST(XlsxRead, PrefixedMarkupReadsTheSame) {
    auto parts = OneSheetParts(
        R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData><x:row r="2"><x:c r="C2" t="inlineStr"><x:is><x:t>前缀</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>)");
    const auto wb = Load(parts);
    EXPECT_EQ(TextAt(*wb, 0, 2, 3), "前缀");
}

// Each damaged or hostile package is refused at open with the reason.
TEST(XlsxRead, RefusesBrokenAndHostilePackages) {
    struct Case {
        const char* name;
        std::function<void(std::map<std::string, std::string>&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"no content types", [](auto& p) { p.erase("[Content_Types].xml"); },
         "[Content_Types].xml"},
        {"no workbook", [](auto& p) { p.erase("xl/workbook.xml"); },
         "no workbook part (xl/workbook.xml)"},
        {"no worksheet", [](auto& p) { p.erase("xl/worksheets/sheet1.xml"); },
         "no worksheet part (xl/worksheets/sheet1.xml)"},
        {"no shared strings", [](auto& p) { p.erase("xl/sharedStrings.xml"); },
         "no shared strings part"},
        {"shared string index out of range",
         [](auto& p) {
             p["xl/worksheets/sheet1.xml"] = SheetXml(
                 R"(<sheetData><row r="1"><c r="A1" t="s"><v>4</v></c></row></sheetData>)");
         },
         "cell A1 refers to shared string 4, but the workbook has 4"},
        {"style index out of range",
         [](auto& p) {
             p["xl/worksheets/sheet1.xml"] = SheetXml(
                 R"(<sheetData><row r="1"><c r="A1" s="9"><v>1</v></c></row></sheetData>)");
         },
         "cell A1 refers to style 9, but the workbook has 4"},
        {"row beyond the sheet",
         [](auto& p) {
             p["xl/worksheets/sheet1.xml"] =
                 SheetXml(R"(<sheetData><row r="1048577"/></sheetData>)");
         },
         "a row number outside 1..1048576"},
        {"cell beyond the sheet",
         [](auto& p) {
             p["xl/worksheets/sheet1.xml"] =
                 SheetXml(R"(<sheetData><row r="1"><c r="XFE1"><v>1</v></c></row></sheetData>)");
         },
         "a cell outside the sheet's limits: XFE1"},
        {"entity declarations",
         [](auto& p) {
             p["xl/sharedStrings.xml"] =
                 R"(<?xml version="1.0"?><!DOCTYPE sst [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>&b;</t></si></sst>)";
         },
         "declares a document type; entity declarations are not accepted"},
        {"external entity",
         [](auto& p) {
             p["xl/workbook.xml"] =
                 R"(<?xml version="1.0"?><!DOCTYPE workbook SYSTEM "file:///etc/passwd"><workbook/>)";
         },
         "declares a document type"},
        {"damaged markup",
         [](auto& p) { p["xl/worksheets/sheet1.xml"] = SheetXml("<sheetData><row></sheetData>"); },
         "(xl/worksheets/sheet1.xml): damaged XML"},
        {"no number in a number cell",
         [](auto& p) {
             p["xl/worksheets/sheet1.xml"] =
                 SheetXml(R"(<sheetData><row r="1"><c r="A1"><v>12abc</v></c></row></sheetData>)");
         },
         "cell A1 holds no number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto parts = StyledParts(SheetXml("<sheetData/>"));
        c.damage(parts);
        try {
            Load(parts);
            ADD_FAILURE() << "opened";
        } catch (const SpreadsheetError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("book.xlsx"), std::string::npos) << e.what();
        }
    }
}

// Sets the 4-byte uncompressed size of every entry named `name`, in its local header and in the
// central directory, to `size`.
std::string WithDeclaredSize(std::string zip, const std::string& name, std::uint32_t size) {
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto get16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(zip[at]) |
                                        (static_cast<unsigned char>(zip[at + 1]) << 8));
    };
    for (std::size_t at = 0; at + 46 < zip.size(); ++at) {
        if (zip.compare(at, 4, "PK\x03\x04") == 0 && zip.compare(at + 30, name.size(), name) == 0 &&
            get16(at + 26) == name.size()) {
            put32(at + 22, size);
        }
        if (zip.compare(at, 4, "PK\x01\x02") == 0 && zip.compare(at + 46, name.size(), name) == 0 &&
            get16(at + 28) == name.size()) {
            put32(at + 24, size);
        }
    }
    return zip;
}

TEST(XlsxRead, RefusesZipBombsAndNonPackages) {
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const std::string good = MakePackage(
        StyledParts(SheetXml("<sheetData>" + std::string(2000, ' ') +
                             "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>")));
    ASSERT_NO_THROW(xlsx::LoadXlsx("book.xlsx", good));
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"declares 4 GB", WithDeclaredSize(good, sheet, 0xFFFFFFF0u), "zip bomb"},
        {"holds more than it declares", WithDeclaredSize(good, sheet, 100), "book.xlsx"},
        {"no zip at all", "PK\x03\x04 this is not really a zip file", "not a readable zip package"},
        {"empty archive", EmptyZip(), "[Content_Types].xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            xlsx::LoadXlsx("book.xlsx", c.bytes);
            ADD_FAILURE() << "opened";
        } catch (const SpreadsheetError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

// Saving: the written cells go into the sheet's original markup, the rest of it stays.
struct SpliceCase {
    const char* name;
    std::string sheetData;  // the original sheetData element
    std::vector<std::tuple<int, int, std::u16string>> writes;
    std::string expected;  // the saved sheetData element
};

std::string SheetDataOf(const std::string& sheetXml) {
    std::size_t begin = sheetXml.find("<sheetData");
    if (begin == std::string::npos)
        begin = sheetXml.find("<x:sheetData");
    std::size_t end = sheetXml.find("</sheetData>");
    if (end != std::string::npos)
        return sheetXml.substr(begin, end + 12 - begin);
    end = sheetXml.find("</x:sheetData>");
    if (end != std::string::npos)
        return sheetXml.substr(begin, end + 14 - begin);
    return sheetXml.substr(begin, sheetXml.find("/>", begin) + 2 - begin);
}

TEST(XlsxSave, WrittenCellsAreSplicedIntoTheSheet) {
    const SpliceCase cases[] = {
        {"overwrite, insert inside and after a row",
         R"(<sheetData><row r="2" spans="2:3"><c r="B2" t="s"><v>0</v></c><c r="D2"><v>4</v></c></row></sheetData>)",
         {{2, 2, u"42"}, {2, 3, u"plain"}, {2, 6, u"-0.5"}},
         R"(<sheetData><row r="2" spans="2:6"><c r="B2"><v>42</v></c><c r="C2" t="s"><v>0</v></c><c r="D2"><v>4</v></c><c r="F2"><v>-0.5</v></c></row></sheetData>)"},
        {"new rows before, between and after",
         R"(<sheetData>
  <row r="3"><c r="A3"><v>3</v></c></row>
  <row r="9"><c r="A9"><v>9</v></c></row>
</sheetData>)",
         {{12, 1, u"1"}, {1, 1, u"2"}, {5, 2, u"3"}, {6, 1, u"4"}},
         R"(<sheetData>
  <row r="1"><c r="A1"><v>2</v></c></row><row r="3"><c r="A3"><v>3</v></c></row>
  <row r="5"><c r="B5"><v>3</v></c></row><row r="6"><c r="A6"><v>4</v></c></row><row r="9"><c r="A9"><v>9</v></c></row>
<row r="12"><c r="A12"><v>1</v></c></row></sheetData>)"},
        {"an empty sheet and an empty row",
         R"(<sheetData/>)",
         {{1, 2, u"7"}},
         R"(<sheetData><row r="1"><c r="B1"><v>7</v></c></row></sheetData>)"},
        {"a row written empty",
         R"(<sheetData><row r="4" ht="30" customHeight="1"/></sheetData>)",
         {{4, 1, u"8"}},
         R"(<sheetData><row r="4" ht="30" customHeight="1"><c r="A4"><v>8</v></c></row></sheetData>)"},
        {"an empty text keeps the format and drops the value",
         R"(<sheetData><row r="1"><c r="A1" s="3"><v>5</v></c><c r="B1"><v>6</v></c></row></sheetData>)",
         {{1, 1, u""}, {1, 2, u""}, {1, 3, u""}},
         R"(<sheetData><row r="1"><c r="A1" s="3"/><c r="B1"/></row></sheetData>)"},
        {"cells without addresses",
         R"(<sheetData><row><c><v>1</v></c><c><v>2</v></c></row></sheetData>)",
         {{1, 2, u"20"}},
         R"(<sheetData><row><c><v>1</v></c><c r="B1"><v>20</v></c></row></sheetData>)"},
        {"comments and a text with markup",
         R"(<sheetData><row r="1"><!-- </c> --><c r="A1"><v>1</v><!-- x --></c></row></sheetData>)",
         {{1, 1, u"<&>"}},
         R"(<sheetData><row r="1"><!-- </c> --><c r="A1" t="s"><v>4</v></c></row></sheetData>)"},
    };
    for (const SpliceCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto parts = StyledParts(
            SheetXml(R"(<dimension ref="A1"/>)" + c.sheetData + R"(<pageMargins left="0.7"/>)"));
        auto wb = Load(parts);
        for (const auto& [row, column, text] : c.writes)
            WriteText(*wb, 0, row, column, text);
        auto& codec = static_cast<xlsx::XlsxCodec&>(wb->codec());
        const auto saved = PartsOf(codec.SavedBytes(*wb));
        const std::string& sheet = saved.at("xl/worksheets/sheet1.xml");
        EXPECT_EQ(SheetDataOf(sheet), c.expected);
        EXPECT_NE(sheet.find(R"(<pageMargins left="0.7"/>)"), std::string::npos);
        // The saved package reads back with the written values.
        const auto again = xlsx::LoadXlsx("again.xlsx", codec.SavedBytes(*wb));
        for (const auto& [row, column, text] : c.writes) {
            const Cell* cell = again->worksheet(0).Find(row, column);
            if (text.empty()) {
                EXPECT_TRUE(!cell || cell->type == CellType::Empty);
            } else if (cell && cell->type == CellType::Text) {
                EXPECT_EQ(U8(again->strings().at(cell->payload)), U8(text));
            } else {
                ASSERT_NE(cell, nullptr);
                EXPECT_EQ(cell->number, std::stod(U8(text)));
            }
        }
    }
}

TEST(XlsxSave, DimensionGrowsToTheWrittenCells) {
    auto wb = Load(StyledParts(SheetXml(
        R"(<dimension ref="B2:C3"/><sheetData><row r="2"><c r="B2"><v>1</v></c></row></sheetData>)")));
    WriteText(*wb, 0, 7, 1, u"x");
    const auto saved = PartsOf(static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb));
    EXPECT_NE(saved.at("xl/worksheets/sheet1.xml").find(R"(<dimension ref="A2:C7"/>)"),
              std::string::npos);
}

TEST(XlsxSave, TextsGoToTheSharedStringsTable) {
    auto wb = Load(StyledParts(
        SheetXml(R"(<sheetData><row r="1"><c r="A1" t="s"><v>1</v></c></row></sheetData>)")));
    WriteText(*wb, 0, 1, 1, u"plain");       // the table's own plain entry
    WriteText(*wb, 0, 1, 2, u"rich text ");  // same text as a rich entry: a plain one is added
    WriteText(*wb, 0, 1, 3, u"110101199003071234");
    WriteText(*wb, 0, 1, 4, u"中文 ");
    WriteText(*wb, 0, 1, 5, u"_x0041_ \U0001F600");
    auto& codec = static_cast<xlsx::XlsxCodec&>(wb->codec());
    const auto saved = PartsOf(codec.SavedBytes(*wb));
    const std::string& sst = saved.at("xl/sharedStrings.xml");
    EXPECT_NE(sst.find(R"(count="9" uniqueCount="8")"), std::string::npos) << sst;
    EXPECT_NE(sst.find(R"(<si><t xml:space="preserve">rich text </t></si>)"), std::string::npos)
        << sst;
    EXPECT_NE(sst.find(R"(<si><t>_x005F_x0041_ )"), std::string::npos) << sst;
    const auto again = xlsx::LoadXlsx("again.xlsx", codec.SavedBytes(*wb));
    EXPECT_EQ(TextAt(*again, 0, 1, 1), "plain");
    EXPECT_EQ(again->worksheet(0).Find(1, 1)->payload, 0u);
    EXPECT_EQ(TextAt(*again, 0, 1, 2), "rich text ");
    EXPECT_EQ(TextAt(*again, 0, 1, 3), "110101199003071234");
    EXPECT_EQ(TextAt(*again, 0, 1, 4), "中文 ");
    EXPECT_EQ(TextAt(*again, 0, 1, 5), "_x0041_ \U0001F600");
}

const char* kCalcChain = R"(<?xml version="1.0" encoding="UTF-8"?>
<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><c r="A1" i="1"/><c r="B1"/><c r="A1" i="2"/></calcChain>)";

std::map<std::string, std::string> WithCalcChain(std::map<std::string, std::string> parts) {
    const std::string rel =
        R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain" Target="calcChain.xml"/>)";
    parts["xl/_rels/workbook.xml.rels"] = WorkbookRels(kStylesRel + kStringsRel + rel);
    parts["xl/calcChain.xml"] = kCalcChain;
    std::string types = kContentTypes;
    types.insert(
        types.find("</Types>"),
        R"(<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/>)");
    parts["[Content_Types].xml"] = types;
    return parts;
}

const std::string kFormulaSheet = SheetXml(
    R"(<sheetData><row r="1"><c r="A1"><f>B1*2</f><v>4</v></c><c r="B1"><f>1+1</f><v>2</v></c></row></sheetData>)");

TEST(XlsxSave, OverwrittenFormulasLeaveTheCalculationChain) {
    auto wb = Load(WithCalcChain(StyledParts(kFormulaSheet)));
    WriteText(*wb, 0, 1, 1, u"1");  // sheet 1's A1; sheet 2's A1 stays, and B1 now needs its own i
    const auto saved = PartsOf(static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb));
    EXPECT_EQ(saved.at("xl/calcChain.xml"), R"(<?xml version="1.0" encoding="UTF-8"?>
<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><c i="1" r="B1"/><c r="A1" i="2"/></calcChain>)");
    EXPECT_NE(
        saved.at("xl/worksheets/sheet1.xml").find(R"(<c r="A1"><v>1</v></c><c r="B1"><f>1+1</f>)"),
        std::string::npos);
}

TEST(XlsxSave, AnEmptiedCalculationChainLeavesThePackage) {
    auto parts = WithCalcChain(StyledParts(kFormulaSheet));
    parts["xl/calcChain.xml"] =
        R"(<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><c r="A1" i="1"/></calcChain>)";
    auto wb = Load(parts);
    WriteText(*wb, 0, 1, 1, u"x");
    const auto saved = PartsOf(static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb));
    EXPECT_EQ(saved.count("xl/calcChain.xml"), 0u);
    EXPECT_EQ(saved.at("[Content_Types].xml"), kContentTypes);
    EXPECT_EQ(saved.at("xl/_rels/workbook.xml.rels"), WorkbookRels(kStylesRel + kStringsRel));
}

TEST(XlsxSave, DatesInGeneralCellsGetDateStyles) {
    auto wb = Load(StyledParts(SheetXml(
        R"(<cols><col min="5" max="6" width="20" style="3" customWidth="1"/></cols><sheetData><row r="1"><c r="A1" s="1"><v>1</v></c></row><row r="2" s="2" customFormat="1"/></sheetData>)")));
    auto& codec = static_cast<xlsx::XlsxCodec&>(wb->codec());
    EXPECT_EQ(codec.StyleForNewCell(wb->worksheet(0), 2, 5), 2u);  // the row's style first
    EXPECT_EQ(codec.StyleForNewCell(wb->worksheet(0), 3, 5), 3u);  // then the column's
    EXPECT_EQ(codec.StyleForNewCell(wb->worksheet(0), 3, 7), 0u);
    WriteText(*wb, 0, 1, 1, u"2024/1/5");           // a date style already: kept
    WriteText(*wb, 0, 3, 2, u"2024/1/5");           // General: gets the short date
    WriteText(*wb, 0, 3, 3, u"13:45:00");           // a time
    WriteText(*wb, 0, 3, 4, u"2024/1/5 13:45:00");  // date and time: a format of its own
    WriteText(*wb, 0, 3, 5, u"2024/1/6");           // the column's centred General style
    WriteText(*wb, 0, 4, 2, u"2024/2/5");           // same as B3: the same new style
    const auto saved = PartsOf(codec.SavedBytes(*wb));
    const std::string& styles = saved.at("xl/styles.xml");
    EXPECT_NE(styles.find(R"(<numFmts count="2">)"), std::string::npos) << styles;
    EXPECT_NE(styles.find(R"(<numFmt numFmtId="165" formatCode="yyyy/m/d h:mm:ss"/></numFmts>)"),
              std::string::npos)
        << styles;
    EXPECT_NE(styles.find(R"(<cellXfs count="8">)"), std::string::npos) << styles;
    EXPECT_NE(
        styles.find(
            R"(<xf numFmtId="14" fontId="0" applyNumberFormat="1"/><xf numFmtId="21" fontId="0" applyNumberFormat="1"/><xf numFmtId="165" fontId="0" applyNumberFormat="1"/><xf numFmtId="14" fontId="0" applyNumberFormat="1"><alignment horizontal="center"/></xf></cellXfs>)"),
        std::string::npos)
        << styles;
    const auto again = xlsx::LoadXlsx("again.xlsx", codec.SavedBytes(*wb));
    const Worksheet& s = again->worksheet(0);
    EXPECT_EQ(s.Find(1, 1)->style, 1u);
    EXPECT_EQ(s.Find(3, 2)->style, 4u);
    EXPECT_EQ(s.Find(4, 2)->style, 4u);
    EXPECT_EQ(s.Find(3, 5)->style, 7u);
    for (int column = 2; column <= 5; ++column)
        EXPECT_EQ(again->codec().NumberKindOf(s.Find(3, column)->style), NumberKind::Date)
            << column;
    EXPECT_DOUBLE_EQ(s.Find(3, 4)->number, 45296 + (13 * 3600 + 45 * 60) / 86400.0);
}

TEST(XlsxSave, APackageWithoutStringsOrStylesGetsThem) {
    auto wb = Load(OneSheetParts(SheetXml("<sheetData/>")));
    WriteText(*wb, 0, 1, 1, u"新");
    WriteText(*wb, 0, 1, 2, u"2024/1/5");
    const auto saved = PartsOf(static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb));
    EXPECT_NE(saved.at("[Content_Types].xml").find(R"(<Override PartName="/xl/sharedStrings.xml")"),
              std::string::npos);
    EXPECT_NE(saved.at("[Content_Types].xml").find(R"(<Override PartName="/xl/styles.xml")"),
              std::string::npos);
    EXPECT_NE(saved.at("xl/_rels/workbook.xml.rels").find(R"(Target="sharedStrings.xml")"),
              std::string::npos);
    const auto again = xlsx::LoadXlsx("again.xlsx", MakePackage(saved));
    EXPECT_EQ(TextAt(*again, 0, 1, 1), "新");
    EXPECT_EQ(again->codec().NumberKindOf(again->worksheet(0).Find(1, 2)->style), NumberKind::Date);
}

TEST(XlsxSave, SavesToItsFileKeepingUntouchedPartsAsTheyWere) {
    TempDir dir;
    const auto path = (dir.path() / "book.xlsx").string();
    auto parts =
        StyledParts(SheetXml(R"(<sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>)"));
    parts["xl/media/image1.png"] = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x07');
    parts["customXml/item1.xml"] = "<x>keep</x>";
    const std::string original = MakePackage(parts);
    WriteFileBytes(path, original);

    {  // no change: the file stays byte for byte
        auto wb = xlsx::LoadXlsx(path, original);
        wb->Save(util::Env::Default());
        EXPECT_EQ(ReadFileBytes(path), original);
    }
    auto wb = xlsx::LoadXlsx(path, original);
    WriteText(*wb, 0, 2, 1, u"2");
    wb->Save(util::Env::Default());
    const std::string saved = ReadFileBytes(path);
    const auto savedParts = PartsOf(saved);
    for (const auto& [name, text] : parts) {
        if (name == "xl/worksheets/sheet1.xml")
            continue;
        EXPECT_EQ(savedParts.at(name), text) << name;
    }
    // The untouched entries keep their compressed bytes: the image's deflate stream is in both.
    const std::size_t image = original.find("xl/media/image1.png");
    ASSERT_NE(image, std::string::npos);
    const std::string stream = original.substr(image + 19, 40);
    EXPECT_NE(saved.find(stream), std::string::npos);
    // A second save starts from the saved file.
    WriteText(*wb, 0, 3, 1, u"3");
    wb->Save(util::Env::Default());
    const auto third = xlsx::LoadXlsx(path, ReadFileBytes(path));
    EXPECT_EQ(third->worksheet(0).Find(2, 1)->number, 2);
    EXPECT_EQ(third->worksheet(0).Find(3, 1)->number, 3);
    EXPECT_EQ(third->worksheet(0).Find(1, 1)->number, 1);
}

TEST(XlsxFormulaShift, MovesRelativeReferencesOnly) {
    const struct {
        const char* formula;
        int rows, columns;
        std::optional<std::string> moved;
    } cases[] = {
        {"A1+B$2*$C3+$D$4", 2, 1, "B3+C$2*$C5+$D$4"},
        {"SUM(A1:B2)", 1, 0, "SUM(A2:B3)"},
        {"LOG10(A1)&\"A1\"", 1, 0, "LOG10(A2)&\"A1\""},  // a function, a text
        {"'Sheet A1'!A1+Sheet2!B1", 0, 1, "'Sheet A1'!B1+Sheet2!C1"},
        {"Table1[[#This Row],[A1]]+A1", 1, 0, "Table1[[#This Row],[A1]]+A2"},
        {"A1-1", -1, 0, "#REF!-1"},
        {"XFD1+1.5E3", 0, 1, "#REF!+1.5E3"},
        {"SUM(A:A)", 1, 0, std::nullopt},
        {"SUM(3:3)", 1, 0, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xlsx::ShiftFormula(c.formula, c.rows, c.columns), c.moved) << c.formula;
}

TEST(XlsxSave, OverwritingASharedFormulaHandsItToTheNextCell) {
    auto wb = Load(StyledParts(SheetXml(R"(<sheetData>
<row r="1"><c r="A1"><v>1</v></c><c r="B1"><f t="shared" ref="B1:B3" si="0">A1*2</f><v>2</v></c></row>
<row r="2"><c r="A2"><v>2</v></c><c r="B2"><f t="shared" si="0"/><v>4</v></c></row>
<row r="3"><c r="A3"><v>3</v></c><c r="B3"><f t="shared" si="0"/><v>6</v></c></row>
</sheetData>)")));
    WriteText(*wb, 0, 1, 2, u"9");
    const auto saved = PartsOf(static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb));
    EXPECT_EQ(SheetDataOf(saved.at("xl/worksheets/sheet1.xml")), R"(<sheetData>
<row r="1"><c r="A1"><v>1</v></c><c r="B1"><v>9</v></c></row>
<row r="2"><c r="A2"><v>2</v></c><c r="B2"><f t="shared" ref="B2:B3" si="0">A2*2</f><v>4</v></c></row>
<row r="3"><c r="A3"><v>3</v></c><c r="B3"><f t="shared" si="0"/><v>6</v></c></row>
</sheetData>)");
}

TEST(XlsxSave, AFailedSaveLeavesTheOldFileAndLaterSavesWork) {
    using Op = testsupport::FaultInjectionEnv::Operation;
    TempDir dir;
    const auto path = (dir.path() / "book.xlsx").string();
    const std::string original = MakePackage(StyledParts(SheetXml("<sheetData/>")));
    for (const Op op : {Op::Create, Op::Append, Op::Sync, Op::Close, Op::Rename}) {
        SCOPED_TRACE(testsupport::FaultInjectionEnv::NameOf(op));
        WriteFileBytes(path, original);
        auto wb = xlsx::LoadXlsx(path, original);
        WriteText(*wb, 0, 1, 1, u"新的");
        WriteText(*wb, 0, 1, 2, u"2024/1/5 13:45:00");
        testsupport::FaultInjectionEnv env;
        env.FailNth(op, 1);
        EXPECT_ANY_THROW(wb->Save(env));
        EXPECT_EQ(ReadFileBytes(path), original);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        env.Reset();
        wb->Save(env);
        const auto again = xlsx::LoadXlsx(path, ReadFileBytes(path));
        EXPECT_EQ(TextAt(*again, 0, 1, 1), "新的");
        EXPECT_EQ(again->codec().NumberKindOf(again->worksheet(0).Find(1, 2)->style),
                  NumberKind::Date);
    }
}

}  // namespace
