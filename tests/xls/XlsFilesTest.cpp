// Real .xls files: the sample workbooks of Debian's Perl and Python spreadsheet packages, and
// round trips through targets that LibreOffice and Spreadsheet::WriteExcel made, read back by
// xlrd, LibreOffice and Spreadsheet::ParseExcel. A missing tool skips its test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/xls/XlsCodec.h"
#include "spreadsheet/xls/XlsFormat.h"
#include "spreadsheet/xls/XlsWriter.h"
#include "tests/xls/BiffBuilder.h"
#include "tests/xls/XlsTestSupport.h"
#include "util/Env.h"
#include "util/Utf.h"

namespace {

namespace fs = std::filesystem;
using spreadsheet::Cell;
using spreadsheet::CellType;
using spreadsheet::SpreadsheetError;
using spreadsheet::Workbook;
using spreadsheet::xls::LoadXls;
using spreadsheet::xls::XlsCodec;

const char* const kPython = "/usr/bin/python3";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
void WriteAll(const fs::path& path, std::string_view data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}
bool Have(const std::string& command) {
    return std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0;
}
bool PythonHasXlrd() {
    return std::system((std::string(kPython) + " -c 'import xlrd' >/dev/null 2>&1").c_str()) == 0;
}
int RunShell(const std::string& command) {
    return std::system(command.c_str());
}
std::string Quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "xls-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Every cell value of every worksheet as "sheet|row|column|value" lines, sorted. Numbers in
// %.15g, texts as UTF-8, booleans and errors by code; cells with no value are left out.
const char* const kXlrdDump = R"(
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
lines = []
for sheet in book.sheets():
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            t = cell.ctype
            if t in (0, 6): continue
            if t == 1: v = "T:" + cell.value
            elif t in (2, 3): v = "N:%.15g" % cell.value
            elif t == 4: v = "B:%d" % cell.value
            else: v = "E:%d" % cell.value
            lines.append("%s|%d|%d|%s" % (sheet.name, r + 1, c + 1, v.replace("\n", "\\n")))
for line in sorted(lines): sys.stdout.buffer.write((line + "\n").encode("utf-8"))
)";

std::string CellLine(const Workbook& wb, const spreadsheet::Worksheet& ws, int row, int col,
                     const Cell& c) {
    char buf[64];
    std::string v;
    switch (c.type) {
        case CellType::Empty:
            return {};
        case CellType::Number:
            std::snprintf(buf, sizeof buf, "N:%.15g", c.number);
            v = buf;
            break;
        case CellType::Text: {
            v = "T:" + util::Utf16ToUtf8(wb.strings().at(c.payload));
            std::string escaped;
            for (char ch : v)
                escaped += ch == '\n' ? std::string("\\n") : std::string(1, ch);
            v = escaped;
            break;
        }
        case CellType::Boolean:
            v = c.payload ? "B:1" : "B:0";
            break;
        case CellType::Error:
            v = "E:" + std::to_string(c.payload);
            break;
    }
    return util::Utf16ToUtf8(ws.name()) + "|" + std::to_string(row) + "|" + std::to_string(col) +
           "|" + v;
}

std::vector<std::string> ModelDump(const Workbook& wb) {
    std::vector<std::string> lines;
    for (int s = 0; s < wb.worksheetCount(); ++s) {
        const auto& ws = wb.worksheet(s);
        ws.ForEachCell([&](spreadsheet::CellRef ref, const Cell& c) {
            auto line = CellLine(wb, ws, ref.row, ref.column, c);
            if (!line.empty())
                lines.push_back(line);
        });
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> XlrdDump(const TempDir& dir, const fs::path& file) {
    const fs::path script = dir.path() / "dump.py";
    const fs::path out = dir.path() / "dump.txt";
    WriteAll(script, kXlrdDump);
    EXPECT_EQ(RunShell(std::string(kPython) + " " + Quote(script) + " " + Quote(file) + " > " +
                       Quote(out) + " 2>/dev/null"),
              0)
        << "xlrd could not read " << file;
    return Lines(ReadAll(out));
}

std::unique_ptr<Workbook> Load(const fs::path& path) {
    return LoadXls(path.string(), ReadAll(path));
}

std::vector<fs::path> SampleWorkbooks() {
    std::vector<fs::path> out;
    const char* folders[] = {
        "/usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel",
        "/usr/share/doc/python3-xlrd/examples",
        "/usr/share/doc/libspreadsheet-writeexcel-perl/examples",
        "/usr/share/doc/libspreadsheet-writeexcel-perl/examples/external_charts"};
    for (const char* folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == ".xls")
                out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(XlsFiles, SampleWorkbooksReadAsXlrdReadsThemAndSaveUnchanged) {
    const auto samples = SampleWorkbooks();
    if (samples.empty())
        GTEST_SKIP()
            << "no sample workbooks installed (libspreadsheet-parseexcel-perl, python3-xlrd)";
    const bool xlrd = PythonHasXlrd();
    TempDir dir;
    int biff8 = 0;
    for (const auto& path : samples) {
        SCOPED_TRACE(path.string());
        std::unique_ptr<Workbook> wb;
        ASSERT_NO_THROW(wb = Load(path));
        if (xlrd) {
            EXPECT_EQ(ModelDump(*wb), XlrdDump(dir, path));
        }
        auto& codec = dynamic_cast<XlsCodec&>(wb->codec());
        if (codec.document().version != spreadsheet::xls::BiffVersion::Biff8)
            continue;
        ++biff8;
        EXPECT_EQ(codec.SavedBytes(*wb), ReadAll(path));
        // Rebuilding the stream with nothing written gives it back byte for byte, too.
        EXPECT_EQ(spreadsheet::xls::BuildWorkbookStream(codec.document(), *wb, {}),
                  codec.document().stream);
    }
    EXPECT_GT(biff8, 0);
    if (!xlrd)
        GTEST_SKIP() << "python3-xlrd missing: values were not compared";
}

// A compound file holding one stream, written by Perl's OLE::Storage_Lite.
bool WriteCompoundFile(const fs::path& out, const std::string& streamName,
                       const std::string& streamData, const TempDir& dir) {
    const fs::path data = dir.path() / "stream.bin";
    WriteAll(data, streamData);
    const std::string perl =
        "perl -MOLE::Storage_Lite -e 'my ($n,$i,$o)=@ARGV; open(F,\"<:raw\",$i) or die; local $/; "
        "my $d=<F>; "
        "my $f=OLE::Storage_Lite::PPS::File->new(OLE::Storage_Lite::Asc2Ucs($n),$d); "
        "OLE::Storage_Lite::PPS::Root->new(undef,undef,[$f])->save($o) or die' " +
        Quote(streamName) + " " + Quote(data) + " " + Quote(out) + " 2>/dev/null";
    return RunShell(perl) == 0;
}

TEST(XlsFiles, RefusesFilesThatAreNoReadableWorkbookWithTheReason) {
    using namespace xlstest;
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"a text file", "name,amount\n1,2\n", "not an Excel workbook"},
        {"a zero-byte file", "", "not an Excel workbook"},
        {"a picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "not an Excel workbook"},
    };
    if (RunShell("perl -MOLE::Storage_Lite -e 1 2>/dev/null") == 0) {
        auto filePass = StandardXfs();
        filePass.insert(filePass.begin(), Rec(rec::kFilePass, U16(1) + std::string(52, '\0')));
        const struct {
            const char* name;
            const char* stream;
            std::string data;
            const char* reason;
        } containers[] = {
            {"a compound file with no workbook stream", "WordDocument", std::string(600, 'w'),
             "no workbook"},
            {"an encrypted workbook", "Workbook", BuildStream(filePass, {{u"S", {}}}), "encrypted"},
            {"a damaged workbook stream", "Workbook",
             [] {
                 const auto whole = BuildStream(StandardXfs(), {{u"S", {Number(0, 0, 1)}}});
                 return whole.substr(0, whole.size() - 10);
             }(),
             "damaged"},
        };
        for (const auto& c : containers) {
            const fs::path file = dir.path() / "c.xls";
            ASSERT_TRUE(WriteCompoundFile(file, c.stream, c.data, dir));
            cases.push_back({c.name, ReadAll(file), c.reason});
        }
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            LoadXls("f.xls", c.bytes);
            ADD_FAILURE() << "opened";
        } catch (const SpreadsheetError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

// --- round trips -----------------------------------------------------------------------

struct Written {
    int row, col;
    enum Kind { Number, Text, Date } kind;
    double number;
    std::u16string text;
};

void WriteCells(Workbook& wb, int sheet, const std::vector<Written>& cells) {
    auto& ws = wb.worksheet(sheet);
    auto& codec = wb.codec();
    for (const auto& w : cells) {
        Cell& c = ws.Write(w.row, w.col, codec.StyleForNewCell(ws, w.row, w.col));
        c.formula = false;
        switch (w.kind) {
            case Written::Number:
                c.type = CellType::Number;
                c.number = w.number;
                break;
            case Written::Text:
                c.type = w.text.empty() ? CellType::Empty : CellType::Text;
                c.payload = w.text.empty() ? 0 : wb.strings().Intern(w.text);
                break;
            case Written::Date:
                c.type = CellType::Number;
                c.number = w.number;
                if (codec.IsGeneralStyle(c.style))
                    c.style = codec.DateStyleFor(c.style, spreadsheet::DateTimeKind::Date);
                break;
        }
    }
}

// What xlrd reads after the writes: the lines before, with the written cells replaced.
std::vector<std::string> ExpectedAfter(const std::vector<std::string>& before,
                                       const std::string& sheetName,
                                       const std::vector<Written>& cells) {
    std::vector<std::string> out;
    for (const auto& line : before) {
        bool overwritten = false;
        for (const auto& w : cells) {
            const std::string key =
                sheetName + "|" + std::to_string(w.row) + "|" + std::to_string(w.col) + "|";
            if (line.rfind(key, 0) == 0)
                overwritten = true;
        }
        if (!overwritten)
            out.push_back(line);
    }
    for (const auto& w : cells) {
        const std::string key =
            sheetName + "|" + std::to_string(w.row) + "|" + std::to_string(w.col) + "|";
        if (w.kind == Written::Text) {
            if (!w.text.empty())
                out.push_back(key + "T:" + util::Utf16ToUtf8(w.text));
        } else {
            char buf[64];
            std::snprintf(buf, sizeof buf, "N:%.15g", w.number);
            out.push_back(key + buf);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Every sheet of a workbook as LibreOffice exports it to CSV: sheet name to its CSV text.
std::map<std::string, std::string> LibreOfficeCsv(const TempDir& dir, const fs::path& file,
                                                  const std::string& tag) {
    const fs::path outDir = dir.path() / ("csv-" + tag);
    fs::create_directories(outDir);
    const fs::path profile = dir.path() / ("lo-profile-" + tag);
    const std::string command =
        "soffice -env:UserInstallation=file://" + profile.string() +
        " --headless --convert-to 'csv:Text - txt - csv "
        "(StarCalc):44,34,76,1,,1033,false,true,true,false,false,-1' --outdir " +
        Quote(outDir) + " " + Quote(file) + " >/dev/null 2>&1";
    EXPECT_EQ(RunShell(command), 0);
    std::map<std::string, std::string> sheets;
    const std::string stem = file.stem().string() + "-";
    for (const auto& entry : fs::directory_iterator(outDir)) {
        std::string name = entry.path().stem().string();
        if (name.rfind(stem, 0) == 0)
            name = name.substr(stem.size());
        sheets[name] = ReadAll(entry.path());
    }
    return sheets;
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            rows.back().push_back(field);
            field.clear();
        } else if (ch == '\n') {
            rows.back().push_back(field);
            field.clear();
            rows.emplace_back();
        } else if (ch != '\r') {
            field += ch;
        }
        any = true;
    }
    if (!field.empty() || (any && !rows.back().empty()))
        rows.back().push_back(field);
    if (rows.back().empty())
        rows.pop_back();
    return rows;
}

std::string CsvCell(const std::vector<std::vector<std::string>>& grid, int row, int col) {
    if (row < 1 || static_cast<std::size_t>(row) > grid.size())
        return {};
    const auto& r = grid[static_cast<std::size_t>(row - 1)];
    if (col < 1 || static_cast<std::size_t>(col) > r.size())
        return {};
    return r[static_cast<std::size_t>(col - 1)];
}

// LibreOffice shows every cell as before, except the written ones, which show what was written.
void ExpectLibreOfficeSees(const TempDir& dir, const fs::path& before, const fs::path& after,
                           const std::string& sheetName, const std::vector<Written>& cells) {
    const auto old = LibreOfficeCsv(dir, before, "before");
    const auto now = LibreOfficeCsv(dir, after, "after");
    ASSERT_EQ(old.size(), 2u) << "LibreOffice exported no sheets";
    ASSERT_EQ(old.size(), now.size());
    for (const auto& [name, text] : old) {
        SCOPED_TRACE("sheet " + name);
        ASSERT_TRUE(now.count(name));
        const auto a = ParseCsv(text), b = ParseCsv(now.at(name));
        const int rows = static_cast<int>(std::max(a.size(), b.size()));
        for (int r = 1; r <= rows; ++r) {
            for (int c = 1; c <= 64; ++c) {
                const Written* w = nullptr;
                if (name == sheetName)
                    for (const auto& x : cells)
                        if (x.row == r && x.col == c)
                            w = &x;
                if (!w) {
                    EXPECT_EQ(CsvCell(a, r, c), CsvCell(b, r, c)) << "row " << r << " col " << c;
                } else if (w->kind == Written::Text) {
                    EXPECT_EQ(CsvCell(b, r, c), util::Utf16ToUtf8(w->text))
                        << "row " << r << " col " << c;
                } else if (w->kind == Written::Number) {
                    EXPECT_EQ(std::stod(CsvCell(b, r, c)), w->number)
                        << "row " << r << " col " << c;
                } else {
                    // A date shows as a date, not as its serial.
                    const std::string shown = CsvCell(b, r, c);
                    EXPECT_NE(shown.find('/'), std::string::npos) << shown;
                }
            }
        }
    }
}

void ExpectParseExcelOpens(const fs::path& file) {
    if (RunShell("perl -MSpreadsheet::ParseExcel -e 1 2>/dev/null") != 0)
        return;
    const std::string perl =
        "perl -MSpreadsheet::ParseExcel -e 'my $p=Spreadsheet::ParseExcel->new; my "
        "$b=$p->parse($ARGV[0]) or die $p->error; "
        "exit(scalar($b->worksheets()) > 0 ? 0 : 1)' " +
        Quote(file) + " 2>/dev/null";
    EXPECT_EQ(RunShell(perl), 0) << "Spreadsheet::ParseExcel could not open " << file;
}

std::u16string Repeat(std::u16string_view piece, int n) {
    std::u16string s;
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}

// Round trip: write, save, read back with xlrd, LibreOffice and ParseExcel.
void RoundTrip(const TempDir& dir, const fs::path& made, int sheet,
               const std::vector<Written>& cells) {
    if (!PythonHasXlrd())
        GTEST_SKIP() << "python3-xlrd missing";
    const fs::path target = dir.path() / "target.xls";
    fs::copy_file(made, target, fs::copy_options::overwrite_existing);
    const auto before = XlrdDump(dir, target);
    std::string sheetName;
    {
        auto wb = Load(target);
        sheetName = util::Utf16ToUtf8(wb->worksheet(sheet).name());
        WriteCells(*wb, sheet, cells);
        wb->Save(util::Env::Default());
    }
    EXPECT_EQ(XlrdDump(dir, target), ExpectedAfter(before, sheetName, cells));
    xlstest::ExpectConsistentCellIndex(
        spreadsheet::cfb::CompoundFile::Parse(ReadAll(target)).ReadStream("Workbook"));
    // Our own reader agrees, and a second save with nothing more written changes nothing.
    auto again = Load(target);
    EXPECT_EQ(ModelDump(*again), XlrdDump(dir, target));
    ExpectParseExcelOpens(target);
    if (Have("soffice"))
        ExpectLibreOfficeSees(dir, made, target, sheetName, cells);
}

const char* const kFods = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <style:style style:name="co1" style:family="table-column"><style:table-column-properties style:column-width="5cm"/></style:style>
  <style:style style:name="co2" style:family="table-column"><style:table-column-properties style:column-width="2.5cm"/></style:style>
  <number:number-style style:name="N2"><number:number number:decimal-places="2" number:min-integer-digits="1"/></number:number-style>
  <style:style style:name="ce1" style:family="table-cell" style:parent-style-name="Default"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="ce2" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N2"/>
 </office:automatic-styles>
 <office:body><office:spreadsheet>
  <table:table table:name="报表">
   <table:table-column table:style-name="co1"/><table:table-column table:style-name="co2" table:number-columns-repeated="4"/>
   <table:table-row>
    <table:table-cell table:style-name="ce1" office:value-type="string"><text:p>姓名</text:p></table:table-cell>
    <table:table-cell table:style-name="ce1" office:value-type="string"><text:p>金额</text:p></table:table-cell>
    <table:table-cell table:style-name="ce1" office:value-type="string"><text:p>两倍</text:p></table:table-cell>
    <table:table-cell table:number-columns-spanned="2" office:value-type="string"><text:p>合并的标题</text:p></table:table-cell><table:covered-table-cell/>
   </table:table-row>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>张三</text:p></table:table-cell>
    <table:table-cell table:style-name="ce2" office:value-type="float" office:value="12.5"><text:p>12.50</text:p></table:table-cell>
    <table:table-cell table:formula="of:=[.B2]*2" office:value-type="float" office:value="25"><text:p>25</text:p></table:table-cell>
    <table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>
   </table:table-row>
   <table:table-row>
    <table:table-cell office:value-type="string"><text:p>李四</text:p></table:table-cell>
    <table:table-cell table:style-name="ce2" office:value-type="float" office:value="-3"><text:p>-3.00</text:p></table:table-cell>
    <table:table-cell table:formula="of:=[.B3]*2" office:value-type="float" office:value="-6"><text:p>-6</text:p></table:table-cell>
   </table:table-row>
  </table:table>
  <table:table table:name="Second">
   <table:table-row><table:table-cell office:value-type="float" office:value="7"><text:p>7</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>keep me</text:p></table:table-cell></table:table-row>
  </table:table>
 </office:spreadsheet></office:body></office:document>
)";

std::vector<Written> MergeLikeWrites() {
    return {
        {4, 1, Written::Text, 0, u"王五"},
        {4, 2, Written::Number, 99.25, {}},
        {4, 3, Written::Text, 0, Repeat(u"长文本", 120)},
        {4, 4, Written::Text, 0, u"110101199003071234"},
        {5, 1, Written::Text, 0, u"0012"},
        {5, 2, Written::Date, 45296, {}},  // 2024-01-05
        {5, 3, Written::Text, 0, u" 12 "},
        // Over a formula: in LibreOffice's file the first cell of a shared formula that C3 uses.
        {2, 3, Written::Text, 0, u"替换公式"},
        {2, 1, Written::Text, 0, u""},  // emptied: a blank keeps the format
        {40, 6, Written::Number, 1e-5, {}},
        {6, 1, Written::Text, 0, u"😀 outside the BMP"},
    };
}

TEST(XlsFiles, RoundTripThroughAWorkbookLibreOfficeMade) {
    if (!Have("soffice"))
        GTEST_SKIP() << "LibreOffice (soffice) missing";
    TempDir dir;
    WriteAll(dir.path() / "made.fods", kFods);
    ASSERT_EQ(RunShell("soffice -env:UserInstallation=file://" + (dir.path() / "lo-made").string() +
                       " --headless --convert-to xls --outdir " + Quote(dir.path()) + " " +
                       Quote(dir.path() / "made.fods") + " >/dev/null 2>&1"),
              0);
    ASSERT_TRUE(fs::exists(dir.path() / "made.xls"));
    RoundTrip(dir, dir.path() / "made.xls", 0, MergeLikeWrites());
}

const char* const kWriteExcelScript = R"(
use utf8;
use Spreadsheet::WriteExcel;
my $wb = Spreadsheet::WriteExcel->new($ARGV[0]) or die;
my $ws = $wb->add_worksheet('数据');
my $bold = $wb->add_format(bold => 1);
my $money = $wb->add_format(num_format => '0.00');
my $centred = $wb->add_format(bold => 1, align => 'center');
$ws->set_column(0, 0, 24);
$ws->set_row(6, 30);
$ws->write(0, 0, '姓名', $bold); $ws->write(0, 1, 'Amount', $bold);
$ws->write(1, 0, 'Alice'); $ws->write(1, 1, 12.5, $money); $ws->write_formula(1, 2, '=B2*2');
$ws->write(2, 0, '中文'); $ws->write(2, 1, 3); $ws->write(2, 3, 'x');
$ws->merge_range(7, 0, 7, 2, 'merged', $centred);
my $ws2 = $wb->add_worksheet('Other');
$ws2->write(0, 0, 'keep'); $ws2->write(0, 1, 3);
$wb->close;
)";

TEST(XlsFiles, RoundTripThroughAWorkbookSpreadsheetWriteExcelMade) {
    if (RunShell("perl -MSpreadsheet::WriteExcel -e 1 2>/dev/null") != 0)
        GTEST_SKIP() << "Spreadsheet::WriteExcel missing";
    TempDir dir;
    WriteAll(dir.path() / "make.pl", kWriteExcelScript);
    ASSERT_EQ(
        RunShell("perl " + Quote(dir.path() / "make.pl") + " " + Quote(dir.path() / "made.xls")),
        0);
    RoundTrip(dir, dir.path() / "made.xls", 0, MergeLikeWrites());
}

// Gnumeric lays out its own files: the WriteExcel workbook, saved again by ssconvert.
TEST(XlsFiles, RoundTripThroughAWorkbookGnumericWrote) {
    if (RunShell("perl -MSpreadsheet::WriteExcel -e 1 2>/dev/null") != 0 || !Have("ssconvert"))
        GTEST_SKIP() << "Spreadsheet::WriteExcel or Gnumeric's ssconvert missing";
    TempDir dir;
    WriteAll(dir.path() / "make.pl", kWriteExcelScript);
    ASSERT_EQ(
        RunShell("perl " + Quote(dir.path() / "make.pl") + " " + Quote(dir.path() / "perl.xls")),
        0);
    ASSERT_EQ(RunShell("ssconvert --export-type=Gnumeric_Excel:excel_biff8 " +
                       Quote(dir.path() / "perl.xls") + " " + Quote(dir.path() / "made.xls") +
                       " >/dev/null 2>&1"),
              0);
    RoundTrip(dir, dir.path() / "made.xls", 0, MergeLikeWrites());
}

// Each BIFF8 sample takes written cells (over an existing cell, in a new row far below, a date)
// and xlrd reads them back with every other cell as it was.
TEST(XlsFiles, EveryBiff8SampleTakesWrittenCells) {
    if (!PythonHasXlrd())
        GTEST_SKIP() << "python3-xlrd missing";
    TempDir dir;
    const std::vector<Written> cells = {
        {1, 1, Written::Number, 4321.5, {}},
        {2, 2, Written::Text, 0, u"写入的文本"},
        {300, 10, Written::Text, 0, Repeat(u"long ", 80)},
        {301, 1, Written::Date, 45296, {}},
    };
    for (const auto& sample : SampleWorkbooks()) {
        SCOPED_TRACE(sample.string());
        const fs::path target = dir.path() / "sample.xls";
        fs::copy_file(sample, target, fs::copy_options::overwrite_existing);
        auto wb = Load(target);
        if (dynamic_cast<XlsCodec&>(wb->codec()).document().version !=
                spreadsheet::xls::BiffVersion::Biff8 ||
            wb->worksheetCount() == 0)
            continue;
        const auto before = XlrdDump(dir, target);
        const std::string sheetName = util::Utf16ToUtf8(wb->worksheet(0).name());
        WriteCells(*wb, 0, cells);
        wb->Save(util::Env::Default());
        EXPECT_EQ(XlrdDump(dir, target), ExpectedAfter(before, sheetName, cells));
        xlstest::ExpectConsistentCellIndex(
            spreadsheet::cfb::CompoundFile::Parse(ReadAll(target)).ReadStream("Workbook"));
    }
}

}  // namespace
