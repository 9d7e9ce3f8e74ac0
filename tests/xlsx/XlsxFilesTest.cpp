// Real workbooks written at test time by LibreOffice, Gnumeric, libxlsxwriter and openpyxl:
// what we read equals what openpyxl reads, and a save into a LibreOffice workbook changes
// exactly the written cells for openpyxl and for LibreOffice.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <set>

#include "spreadsheet/model/Workbook.h"
#include "tests/xlsx/XlsxTestSupport.h"
#include "util/Env.h"

namespace {

using namespace spreadsheet;
using namespace xlsxtest;
namespace fs = std::filesystem;

const std::string kPython = "/usr/bin/python3";
const std::string kScripts = std::string(EXCELMERGE_SOURCE_DIR) + "/tests/xlsx/";

std::string Quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; its standard output, or nothing when it fails.
std::optional<std::string> RunShell(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return out;
}

bool HaveOpenpyxl() {
    return RunShell(kPython + " -c 'import openpyxl'").has_value();
}

QJsonObject OpenpyxlRead(const fs::path& path, bool layout = false) {
    const auto out = RunShell(kPython + " " + Quoted(kScripts + "openpyxl_cells.py") + " " +
                              Quoted(path.string()) + (layout ? " --layout" : ""));
    if (!out) {
        ADD_FAILURE() << "openpyxl cannot read " << path;
        return {};
    }
    return QJsonDocument::fromJson(QByteArray::fromStdString(*out)).object();
}

// Our reading in the same form as the script's.
QJsonObject OurRead(const Workbook& wb) {
    QJsonArray sheets;
    for (int i = 0; i < wb.worksheetCount(); ++i) {
        const Worksheet& ws = wb.worksheet(i);
        std::map<CellRef, QJsonArray> cells;
        ws.ForEachCell([&](CellRef ref, const Cell& c) {
            QJsonArray v{ref.row, ref.column};
            switch (c.type) {
                case CellType::Empty:
                    return;
                case CellType::Number:
                    v.append(wb.codec().NumberKindOf(c.style) == NumberKind::Date ? "d" : "n");
                    v.append(c.number);
                    break;
                case CellType::Text:
                    v.append("s");
                    v.append(QString::fromStdU16String(wb.strings().at(c.payload)));
                    break;
                case CellType::Boolean:
                    v.append("b");
                    v.append(static_cast<int>(c.payload));
                    break;
                case CellType::Error: {
                    static const std::map<std::uint32_t, const char*> names = {
                        {0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
                        {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"}};
                    v.append("e");
                    v.append(names.count(c.payload) ? names.at(c.payload) : "?");
                    break;
                }
            }
            cells[ref] = v;
        });
        QJsonArray list;
        for (const auto& [ref, v] : cells)
            list.append(v);
        static const char* const states[] = {"visible", "hidden", "veryHidden"};
        sheets.append(QJsonObject{{"name", QString::fromStdU16String(ws.name())},
                                  {"state", states[static_cast<int>(ws.visibility())]},
                                  {"cells", list}});
    }
    return QJsonObject{{"date1904", wb.date1904()}, {"sheets", sheets}};
}

std::string Show(const QJsonValue& v) {
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
}

// Same cells, kinds and values; dates to a millisecond (openpyxl rounds to microseconds).
void ExpectSameCells(const QJsonArray& ours, const QJsonArray& theirs, const std::string& where) {
    std::map<std::pair<int, int>, QJsonArray> a, b;
    for (const auto& v : ours)
        a[{v[0].toInt(), v[1].toInt()}] = v.toArray();
    for (const auto& v : theirs)
        b[{v[0].toInt(), v[1].toInt()}] = v.toArray();
    for (const auto& [at, v] : b) {
        const auto it = a.find(at);
        if (it == a.end()) {
            ADD_FAILURE() << where << ": we have no value where openpyxl reads " << Show(v);
            continue;
        }
        const QJsonArray& w = it->second;
        bool same = w[2] == v[2];
        if (same && (v[2] == "n" || v[2] == "d")) {
            const double x = w[3].toDouble(), y = v[3].toDouble();
            same = v[2] == "n" ? x == y : std::fabs(x - y) < 2e-8;  // 2 ms
        } else if (same) {
            same = w[3] == v[3];
        }
        EXPECT_TRUE(same) << where << ": ours " << Show(w) << ", openpyxl " << Show(v);
    }
    for (const auto& [at, v] : a)
        if (!b.count(at))
            ADD_FAILURE() << where << ": openpyxl reads nothing where we read " << Show(v);
}

void ExpectSameWorkbook(const QJsonObject& ours, const QJsonObject& theirs,
                        const std::string& name) {
    EXPECT_EQ(ours["date1904"], theirs["date1904"]) << name;
    const QJsonArray a = ours["sheets"].toArray(), b = theirs["sheets"].toArray();
    ASSERT_EQ(a.size(), b.size()) << name;
    for (int i = 0; i < a.size(); ++i) {
        const std::string where = name + " sheet " + b[i]["name"].toString().toStdString();
        EXPECT_EQ(a[i]["name"], b[i]["name"]) << where;
        EXPECT_EQ(a[i]["state"], b[i]["state"]) << where;
        ExpectSameCells(a[i]["cells"].toArray(), b[i]["cells"].toArray(), where);
    }
}

std::unique_ptr<Workbook> Open(const fs::path& path) {
    return xlsx::LoadXlsx(path.string(), ReadFileBytes(path));
}

// The workbooks every test here uses, written once.
class XlsxFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        if (!HaveOpenpyxl())
            return;
        const fs::path source = dir_->path() / "openpyxl.xlsx";
        if (RunShell(kPython + " " + Quoted(kScripts + "make_source.py") + " " +
                     Quoted(source.string()))) {
            made_["openpyxl"] = source;
        } else {
            return;
        }
        if (RunShell("command -v soffice")) {
            const fs::path out = dir_->path() / "lo";
            if (RunShell(SofficeCommand("xlsx:\"Calc MS Excel 2007 XML\"", out, source)) &&
                fs::exists(out / "openpyxl.xlsx")) {
                made_["LibreOffice"] = out / "openpyxl.xlsx";
            }
        }
        if (RunShell("command -v ssconvert")) {
            const fs::path out = dir_->path() / "gnumeric.xlsx";
            if (RunShell("ssconvert " + Quoted(source.string()) + " " + Quoted(out.string())) &&
                fs::exists(out)) {
                made_["Gnumeric"] = out;
            }
        }
#ifdef XLSXWRITER_FIXTURE
        const fs::path shared = dir_->path() / "lxw-shared.xlsx",
                       inl = dir_->path() / "lxw-inline.xlsx";
        if (RunShell(Quoted(XLSXWRITER_FIXTURE) + " " + Quoted(shared.string()) + " " +
                     Quoted(inl.string()))) {
            made_["libxlsxwriter"] = shared;
            made_["libxlsxwriter constant memory"] = inl;
        }
#endif
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
        made_.clear();
    }

    static std::string SofficeCommand(const std::string& filter, const fs::path& outDir,
                                      const fs::path& input) {
        static int profiles = 0;
        const fs::path profile = dir_->path() / ("profile" + std::to_string(++profiles));
        return "soffice -env:UserInstallation=file://" + profile.string() +
               " --headless --convert-to " + filter + " --outdir " + Quoted(outDir.string()) + " " +
               Quoted(input.string());
    }

    static const fs::path* Made(const std::string& writer) {
        const auto it = made_.find(writer);
        return it == made_.end() ? nullptr : &it->second;
    }

    static TempDir* dir_;
    static std::map<std::string, fs::path> made_;
};
TempDir* XlsxFiles::dir_ = nullptr;
std::map<std::string, fs::path> XlsxFiles::made_;

TEST_F(XlsxFiles, EveryWriterReadsAsOpenpyxlReadsIt) {
    if (!HaveOpenpyxl())
        GTEST_SKIP() << "python3-openpyxl is not installed";
    for (const char* writer : {"openpyxl", "LibreOffice", "Gnumeric", "libxlsxwriter",
                               "libxlsxwriter constant memory"}) {
        const fs::path* path = Made(writer);
        if (!path) {
            std::printf("[ SKIPPED  ] %s: the writer is missing or failed\n", writer);
            continue;
        }
        SCOPED_TRACE(writer);
        ExpectSameWorkbook(OurRead(*Open(*path)), OpenpyxlRead(*path), writer);
    }
}

// LibreOffice's CSV of every sheet: file name -> rows of fields.
std::map<std::string, std::vector<std::vector<std::string>>> LibreOfficeSheets(
    const fs::path& csvDir) {
    std::map<std::string, std::vector<std::vector<std::string>>> out;
    for (const auto& entry : fs::directory_iterator(csvDir)) {
        const std::string text = ReadFileBytes(entry.path());
        std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
        bool quoted = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    rows.back().back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    rows.back().back() += c;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                rows.back().emplace_back();
            } else if (c == '\n') {
                rows.emplace_back(1);
            } else if (c != '\r') {
                rows.back().back() += c;
            }
        }
        const std::string name = entry.path().filename().string();
        out[name.substr(name.find('-') + 1)] = rows;
    }
    return out;
}

TEST_F(XlsxFiles, SavingIntoALibreOfficeWorkbookChangesOnlyTheWrittenCells) {
    const fs::path* made = Made("LibreOffice");
    if (!made)
        GTEST_SKIP() << "LibreOffice or openpyxl is missing";
    const fs::path target = dir_->path() / "target.xlsx";
    fs::copy_file(*made, target, fs::copy_options::overwrite_existing);
    const std::string original = ReadFileBytes(target);

    // A save with no change keeps the file byte for byte.
    Open(target)->Save(util::Env::Default());
    ASSERT_EQ(ReadFileBytes(target), original);

    const struct Write {
        int row, column;
        std::u16string text;
        QJsonArray expected;      // kind and value as openpyxl reads them back
        const char* libreOffice;  // the text LibreOffice shows
    } writes[] = {
        {12, 1, u"42", {"n", 42.0}, "42"},
        {12, 2, u"-3.5", {"n", -3.5}, "-3.5"},
        {12, 3, u"中文文本", {"s", "中文文本"}, "中文文本"},
        {12, 4, u"110101199003071234", {"s", "110101199003071234"}, "110101199003071234"},
        {12, 5, u"0012", {"s", "0012"}, "0012"},
        {13, 1, u"2024/1/5", {"d", 45296.0}, "01/05/2024"},
        {2, 5, u"覆盖", {"s", "覆盖"}, "覆盖"},  // over a text
        {6, 1, u"7", {"n", 7.0}, "7"},           // over a formula
        {8, 5, u" 12 ", {"s", " 12 "}, " 12 "},  // into a formatted blank
    };
    auto wb = Open(target);
    for (const auto& w : writes)
        WriteText(*wb, 0, w.row, w.column, w.text);
    wb->Save(util::Env::Default());

    // openpyxl: the written values, everything else as before, layout kept.
    const QJsonObject before = OpenpyxlRead(*made, true), after = OpenpyxlRead(target, true);
    QJsonArray expected;
    std::set<std::pair<int, int>> written;
    for (const auto& w : writes) {
        written.insert({w.row, w.column});
        QJsonArray v{w.row, w.column};
        for (const auto& x : w.expected)
            v.append(x);
        expected.append(v);
    }
    const QJsonArray beforeSheets = before["sheets"].toArray(),
                     afterSheets = after["sheets"].toArray();
    ASSERT_EQ(afterSheets.size(), beforeSheets.size());
    for (const auto& v : beforeSheets[0]["cells"].toArray())
        if (!written.count({v[0].toInt(), v[1].toInt()}))
            expected.append(v);
    ExpectSameCells(afterSheets[0]["cells"].toArray(), expected, "written sheet");
    for (int i = 1; i < beforeSheets.size(); ++i)
        EXPECT_EQ(afterSheets[i], beforeSheets[i]);
    for (const char* key : {"merged", "widths", "heights"})
        EXPECT_EQ(afterSheets[0][key], beforeSheets[0][key]) << key;
    const QJsonObject formatsBefore = beforeSheets[0]["formats"].toObject();
    const QJsonObject formatsAfter = afterSheets[0]["formats"].toObject();
    for (auto it = formatsBefore.begin(); it != formatsBefore.end(); ++it) {
        if (it.key() == "A13")
            continue;  // the date got its date format
        EXPECT_EQ(formatsAfter[it.key()], it.value()) << it.key().toStdString();
    }
    EXPECT_NE(formatsAfter["A13"][0].toString().indexOf("d"), -1);

    // Every part but the written sheet, the texts and the styles (the date's format) as it was.
    const auto partsBefore = PartsOf(original), partsAfter = PartsOf(ReadFileBytes(target));
    for (const auto& [name, text] : partsBefore) {
        if (name == "xl/worksheets/sheet1.xml" || name == "xl/sharedStrings.xml" ||
            name == "xl/styles.xml" || name == "xl/calcChain.xml") {
            continue;
        }
        ASSERT_TRUE(partsAfter.count(name)) << name;
        EXPECT_EQ(partsAfter.at(name), text) << name;
    }

    // LibreOffice: the same sheets, the written cells show the written texts.
    if (!RunShell("command -v soffice"))
        return;
    const std::string filter =
        "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'";
    ASSERT_TRUE(RunShell(SofficeCommand(filter, dir_->path() / "csv-before", *made)));
    ASSERT_TRUE(RunShell(SofficeCommand(filter, dir_->path() / "csv-after", target)));
    auto sheetsBefore = LibreOfficeSheets(dir_->path() / "csv-before");
    const auto sheetsAfter = LibreOfficeSheets(dir_->path() / "csv-after");
    ASSERT_EQ(sheetsBefore.size(), 3u);
    auto& first = sheetsBefore.at("数据.csv");
    for (const auto& w : writes) {
        if (first.size() < static_cast<std::size_t>(w.row) + 1)
            first.resize(w.row + 1);
        for (auto& row : first)
            row.resize(std::max<std::size_t>(row.size(), 5));
        first[w.row - 1][w.column - 1] = w.libreOffice;
    }
    for (const auto& [name, rows] : sheetsAfter) {
        auto trimmed = [](std::vector<std::vector<std::string>> r) {
            while (!r.empty() && std::all_of(r.back().begin(), r.back().end(),
                                             [](const std::string& f) { return f.empty(); }))
                r.pop_back();
            return r;
        };
        EXPECT_EQ(trimmed(rows), trimmed(sheetsBefore[name])) << name;
    }
}

}  // namespace
