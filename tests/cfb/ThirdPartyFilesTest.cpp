// Compound files written by other programs: the workbooks Debian ships as samples, and ones
// LibreOffice, Gnumeric and Spreadsheet::WriteExcel write at test time. Each is read by us and by
// libgsf, and what we write back is read again by libgsf and by python3-xlrd (which has a
// compound-file reader of its own).

#include <gtest/gtest.h>
#include <unistd.h>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/model/Workbook.h"
#include "tests/cfb/GsfCompoundFile.h"
#include "tests/cfb/TreeHelpers.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

namespace cfbtest {
namespace {

using spreadsheet::cfb::CompoundFile;
using testsupport::TemporaryDirectory;

constexpr const char* kPython = "/usr/bin/python3";

// Every cell of every sheet as xlrd sees it, one line per cell.
constexpr const char* kXlrdDump = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=False)
for sheet in book.sheets():
    print("sheet", repr(sheet.name), sheet.nrows, sheet.ncols)
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            print(r, c, cell.ctype, repr(cell.value))
)";

std::string XlrdDump(const std::string& path, std::string* error) {
    TemporaryDirectory dir;
    const std::string script = dir.File("dump.py");
    testsupport::WriteWholeFile(script, kXlrdDump);
    testsupport::ProcessResult run = testsupport::RunProcess(kPython, {script, path});
    if (!run.started || run.exitCode != 0) {
        *error = "xlrd cannot read " + path + ": " + run.errors;
        return {};
    }
    return run.output;
}

bool HaveXlrd() {
    return testsupport::RunProcess(kPython, {"-c", "import xlrd"}).exitCode == 0;
}

// Reads bytes with us and libgsf, writes them back in both versions, and checks that the
// rewritten file gives the same tree to us and libgsf, and the same cells to xlrd.
void CheckFile(const std::string& label, const std::string& bytes) {
    SCOPED_TRACE(label);
    CompoundFile ours = CompoundFile::Parse(bytes);
    EXPECT_TRUE(ours.HasStream("Workbook") || ours.HasStream("Book"));

    Entry gsfView;
    std::string error;
    ASSERT_TRUE(ReadWithGsf(bytes, &gsfView, &error)) << error;
    ExpectSameTree(gsfView, ours.root(), Compare{.metadata = false});

    const bool xlrd = HaveXlrd();
    TemporaryDirectory dir;
    std::string originalCells;
    if (xlrd) {
        testsupport::WriteWholeFile(dir.File("original.xls"), bytes);
        originalCells = XlrdDump(dir.File("original.xls"), &error);
        ASSERT_FALSE(originalCells.empty()) << error;
    }
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        CompoundFile copy = ours;
        copy.setMajorVersion(version);
        const std::string rewritten = copy.Serialize({});
        ExpectSameTree(ours.root(), CompoundFile::Parse(rewritten).root());
        Entry gsfAgain;
        ASSERT_TRUE(ReadWithGsf(rewritten, &gsfAgain, &error)) << error;
        ExpectSameTree(ours.root(), gsfAgain, Compare{.metadata = false});
        // xlrd places sector n at 512 + n * sector size whatever the version, so it cannot
        // read version 4, whose header takes a whole 4096-byte sector; libgsf checks those.
        if (xlrd && version == 3) {
            const std::string path = dir.File("rewritten" + std::to_string(version) + ".xls");
            testsupport::WriteWholeFile(path, rewritten);
            EXPECT_EQ(XlrdDump(path, &error), originalCells) << error;
        }
    }
}

TEST(ThirdPartyCompoundFiles, DebianSampleWorkbooks) {
    const std::vector<std::string> samples = testsupport::DebianSampleWorkbooks();
    if (samples.empty())
        GTEST_SKIP() << "no sample workbooks: install libspreadsheet-parseexcel-perl";
    for (const std::string& path : samples)
        CheckFile(path, testsupport::ReadWholeFile(path));
}

constexpr const char* kCsv =
    "名称,数量,日期\n苹果,12,2024-01-05\n香蕉,3.5,2023-12-31\n,,\nlast,-7,1999-09-09\n";

TEST(ThirdPartyCompoundFiles, WrittenByLibreOffice) {
    TemporaryDirectory dir;
    testsupport::WriteWholeFile(dir.File("table.csv"), kCsv);
    std::string error;
    const std::string xls =
        testsupport::ConvertWithLibreOffice(dir.File("table.csv"), "xls", dir.path(), &error);
    if (xls.empty())
        GTEST_SKIP() << error;
    CheckFile("LibreOffice", testsupport::ReadWholeFile(xls));
}

TEST(ThirdPartyCompoundFiles, WrittenByGnumeric) {
    if (!testsupport::HaveProgram("ssconvert"))
        GTEST_SKIP() << "Gnumeric (ssconvert) is missing";
    TemporaryDirectory dir;
    testsupport::WriteWholeFile(dir.File("table.csv"), kCsv);
    testsupport::ProcessResult run = testsupport::RunProcess(
        "ssconvert",
        {"--export-type=Gnumeric_Excel:excel_biff8", dir.File("table.csv"), dir.File("table.xls")});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    CheckFile("Gnumeric", testsupport::ReadWholeFile(dir.File("table.xls")));
}

TEST(ThirdPartyCompoundFiles, LargeFileFromSpreadsheetWriteExcelUsesTheDifat) {
    // Spreadsheet::WriteExcel's example of a workbook beyond 7 MB, written through
    // OLE::Storage_Lite: more FAT sectors than the header can list.
    const std::string script = "/usr/share/doc/libspreadsheet-writeexcel-perl/examples/bigfile.pl";
    if (!testsupport::HaveProgram("perl") || ::access(script.c_str(), R_OK) != 0)
        GTEST_SKIP() << "Spreadsheet::WriteExcel's examples are missing";
    TemporaryDirectory dir;
    testsupport::ProcessResult run = testsupport::RunProcess("perl", {script}, 300, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::string bytes = testsupport::ReadWholeFile(dir.File("bigfile.xls"));
    ASSERT_GT(bytes.size(), 109u * 128 * 512);
    CheckFile("Spreadsheet::WriteExcel", bytes);
}

}  // namespace
}  // namespace cfbtest
