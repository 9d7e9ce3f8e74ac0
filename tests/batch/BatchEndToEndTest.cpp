// The batch command on real .xls files through the embedded spreadsheet application.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/batch/BatchCommand.h"
#include "automation/Dispatch.h"
#include "automation/VariantConversion.h"
#include "bench/corpus/BlankWorkbook.h"
#include "merge/MergeJob.h"
#include "spreadsheet/application/SpreadsheetApplication.h"

namespace {

namespace fs = std::filesystem;
using automation::Arg;
using automation::Variant;
using ::testing::HasSubstr;

class BatchEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        spreadsheet::RegisterSpreadsheetApplication();
        dir_ = fs::path(::testing::TempDir()) /
               ("batch-e2e-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target = Path("目标.xls");
        bench::BlankWorkbookLayout layout;
        layout.sheetNames = {u"汇总", u"备注"};
        layout.columnWidths = {3000, 4000};
        bench::WriteBlankWorkbook(target, layout);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        QLocale::setDefault(QLocale::c());
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A source whose first sheet holds `rows` rows of "<name>-r<row>c<col>" in columns 1..3.
    std::string Source(const std::string& name, int rows, std::vector<bench::TextCell> extra = {},
                       bench::BlankWorkbookLayout layout = {}) {
        std::string path = Path(name);
        bench::WriteBlankWorkbook(path, layout);
        std::vector<bench::TextCell> cells;
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= 3; ++c)
                cells.push_back({r, c, name + "-r" + std::to_string(r) + "c" + std::to_string(c)});
        cells.insert(cells.end(), extra.begin(), extra.end());
        bench::FillWorkbook(path, cells);
        return path;
    }

    int Run(std::vector<std::string> args) {
        std::vector<std::string> all = {"--target", target,           "--target-sheet",
                                        "1",        "--source-sheet", "1"};
        all.insert(all.end(), args.begin(), args.end());
        out.str("");
        err.str("");
        return batch::RunBatchCommand(all, out, err, false);
    }

    // The target's cell as text, read back through a fresh instance.
    std::string Read(int row, int column, int sheet = 1) {
        auto app = spreadsheet::CreateSpreadsheetApplication();
        auto books = automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks");
        automation::Call(*books, "Open", {Arg::ByVal(Variant::FromUtf8(target))});
        auto ws = automation::AsObject(automation::Get(*app, "WorkSheets", {Arg::ByVal(sheet)}),
                                       "WorkSheets");
        automation::Call(*ws, "Activate");
        auto cell = automation::AsObject(
            automation::Get(*app, "Cells", {Arg::ByVal(row), Arg::ByVal(column)}), "Cells");
        return automation::VariantToString(automation::Get(*cell, "Value"));
    }

    fs::path dir_;
    std::string target;
    std::ostringstream out, err;
};

TEST_F(BatchEndToEndTest, TwoWorkbooksCarryTheCursorOver) {
    std::string a = Source("a.xls", 3), b = Source("b.xls", 3);
    ASSERT_EQ(Run({"--source-to-row", "3", "--target-to-column", "2", a, b}), 0) << err.str();
    EXPECT_EQ(out.str(), std::string(merge::kMessageDone) + "\n");
    EXPECT_EQ(Read(2, 1), "a.xls-r1c1");
    EXPECT_EQ(Read(4, 2), "a.xls-r3c2");
    EXPECT_EQ(Read(5, 1), "b.xls-r1c1");
    EXPECT_EQ(Read(7, 2), "b.xls-r3c2");
    EXPECT_EQ(Read(7, 3), "");  // one column beyond the target range
    EXPECT_EQ(Read(8, 1), "");

    // An independent reader sees the same sheet, and the second sheet's name.
    if (!fs::exists("/usr/bin/python3"))
        GTEST_SKIP() << "no /usr/bin/python3 for xlrd";
    std::string script = Path("dump.py");
    std::ofstream(script) << "import sys, xlrd\n"
                             "b = xlrd.open_workbook(sys.argv[1])\n"
                             "s = b.sheet_by_index(0)\n"
                             "print(b.sheet_names()[1])\n"
                             "for r in range(1, s.nrows):\n"
                             "    print('|'.join(str(v) for v in s.row_values(r)))\n";
    std::string command = "/usr/bin/python3 " + script + " '" + target + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string dump;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
        dump.append(buf, n);
    int rc = ::pclose(pipe);
    if (dump.find("No module named") != std::string::npos)
        GTEST_SKIP() << dump;
    ASSERT_EQ(rc, 0) << dump;
    EXPECT_EQ(dump,
              "备注\n"
              "a.xls-r1c1|a.xls-r1c2\na.xls-r2c1|a.xls-r2c2\na.xls-r3c1|a.xls-r3c2\n"
              "b.xls-r1c1|b.xls-r1c2\nb.xls-r2c1|b.xls-r2c2\nb.xls-r3c1|b.xls-r3c2\n");
}

TEST_F(BatchEndToEndTest, SkipsOccupiedRowsAsInTheWorkedExample) {
    // Text in rows 2, 3 and 10 of the skip column 5 of the target.
    bench::FillWorkbook(target, {{2, 5, "x"}, {3, 5, "x"}, {10, 5, "x"}});
    std::string a = Source("a.xls", 10);
    ASSERT_EQ(Run({"--source-to-row", "10", "--skip-column", "5", a}), 0) << err.str();
    const int rows[] = {4, 5, 6, 7, 8, 9, 11, 12, 13, 14};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Read(rows[i], 1), "a.xls-r" + std::to_string(i + 1) + "c1");
    EXPECT_EQ(Read(10, 1), "");
}

TEST_F(BatchEndToEndTest, FilterKeepsOnlyRowsWithTextInItsColumn) {
    // Column 4 of the source: row 1 text, row 2 spaces, row 3 the number 0, row 4 empty.
    std::string a = Source("a.xls", 4, {{1, 4, "y"}, {2, 4, "   "}, {3, 4, "0"}});
    ASSERT_EQ(Run({"--source-to-row", "4", "--filter-column", "4", a}), 0) << err.str();
    EXPECT_EQ(Read(2, 1), "a.xls-r1c1");
    EXPECT_EQ(Read(3, 1), "a.xls-r3c1");
    EXPECT_EQ(Read(4, 1), "");
}

TEST_F(BatchEndToEndTest, ValuesKeepTheirKindsAndTextsStayExact) {
    std::string a = Source("a.xls", 0,
                           {{1, 1, "110101199003071234"},
                            {1, 2, "0012"},
                            {1, 3, "3.25"},
                            {1, 4, "2024/1/5"},
                            {1, 5, " 中文 "}});
    ASSERT_EQ(Run({"--target-to-column", "5", a}), 0) << err.str();
    EXPECT_EQ(Read(2, 1), "110101199003071234");
    EXPECT_EQ(Read(2, 2), "0012");
    EXPECT_EQ(Read(2, 3), "3.25");
    EXPECT_EQ(Read(2, 4), "2024/1/5");
    EXPECT_EQ(Read(2, 5), " 中文 ");
}

TEST_F(BatchEndToEndTest, SameSourceTwiceLandsTwice) {
    std::string a = Source("a.xls", 2);
    ASSERT_EQ(Run({"--source-to-row", "2", a, a}), 0) << err.str();
    EXPECT_EQ(Read(4, 1), "a.xls-r1c1");
    EXPECT_EQ(Read(5, 1), "a.xls-r2c1");
}

TEST_F(BatchEndToEndTest, ThirdOfFiveMissingKeepsTheRowsOfTheFirstTwo) {
    std::vector<std::string> args = {"--source-to-row", "2"};
    for (int i = 1; i <= 5; ++i) {
        std::string name = std::to_string(i) + ".xls";
        args.push_back(i == 3 ? Path("missing.xls") : Source(name, 2));
    }
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(out.str(), std::string(merge::kMessageFailed) + "\n");
    EXPECT_THAT(err.str(), HasSubstr("source workbook 3"));
    EXPECT_THAT(err.str(), HasSubstr("missing.xls"));
    EXPECT_EQ(Read(5, 1), "2.xls-r2c1");
    EXPECT_EQ(Read(6, 1), "");
}

TEST_F(BatchEndToEndTest, ErrorCellFailsTheRunAfterSavingThePartialRow) {
    bench::BlankWorkbookLayout layout;
    layout.errorCells = {{2, 4, 0x07}};  // #DIV/0! in row 2, column 4
    std::string b = Path("b.xls");
    bench::WriteBlankWorkbook(b, layout);
    bench::FillWorkbook(b, {{1, 1, "b1"}, {1, 2, "b2"}, {2, 1, "b3"}, {2, 2, "b4"}});
    EXPECT_EQ(
        Run({"--source-to-row", "2", "--source-from-column", "1", "--target-to-column", "4", b}),
        1);
    EXPECT_EQ(out.str(), std::string(merge::kMessageFailed) + "\n");
    EXPECT_EQ(Read(2, 1), "b1");
    EXPECT_EQ(Read(3, 2), "b4");  // the partly written row is saved
    EXPECT_EQ(Read(3, 4), "");
}

TEST_F(BatchEndToEndTest, MissingTargetFailsAndLeavesNoFile) {
    target = Path("none.xls");
    std::string a = Source("a.xls", 1);
    EXPECT_EQ(Run({a}), 1);
    EXPECT_THAT(err.str(), HasSubstr("none.xls"));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(BatchEndToEndTest, RowsPastTheLastRowFailButWhatCameBeforeIsSaved) {
    std::string a = Source("a.xls", 3);
    EXPECT_EQ(Run({"--target-start-row", "65535", "--source-to-row", "3", a}), 1);
    EXPECT_EQ(Read(65535, 1), "a.xls-r1c1");
    EXPECT_EQ(Read(65536, 1), "a.xls-r2c1");
}

// .xls sources into an .xlsx target and an .xlsx source into an .xls target.
TEST_F(BatchEndToEndTest, MixesXlsAndXlsxWorkbooks) {
    if (!fs::exists("/usr/bin/python3"))
        GTEST_SKIP() << "no /usr/bin/python3 for openpyxl";
    const std::string xlsx = Path("来源.xlsx"), xlsxTarget = Path("target.xlsx");
    std::string script = Path("make.py");
    std::ofstream(script) << "import sys, openpyxl\n"
                             "b = openpyxl.Workbook(); s = b.active\n"
                             "s['A1'] = '甲'; s['B1'] = 7\n"
                             "s['A2'] = '乙'; s['B2'] = 2.5\n"
                             "b.save(sys.argv[1])\n"
                             "t = openpyxl.Workbook(); t.active['A1'] = 'header'\n"
                             "t.create_sheet('notes')['A1'] = 'kept'\n"
                             "t.save(sys.argv[2])\n";
    std::string command =
        "/usr/bin/python3 " + script + " '" + xlsx + "' '" + xlsxTarget + "' 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "openpyxl could not make workbooks";

    // An .xlsx source into the .xls target.
    ASSERT_EQ(Run({"--source-to-row", "2", "--target-to-column", "2", xlsx}), 0) << err.str();
    EXPECT_EQ(Read(2, 1), "甲");
    EXPECT_EQ(Read(3, 2), "2.5");

    // .xls sources into the .xlsx target.
    std::string a = Source("a.xls", 2);
    target = xlsxTarget;
    ASSERT_EQ(Run({"--source-to-row", "2", "--target-to-column", "2", a, xlsx}), 0) << err.str();
    EXPECT_EQ(Read(1, 1), "header");
    EXPECT_EQ(Read(2, 1), "a.xls-r1c1");
    EXPECT_EQ(Read(3, 2), "a.xls-r2c2");
    EXPECT_EQ(Read(4, 1), "甲");
    EXPECT_EQ(Read(5, 2), "2.5");
    EXPECT_EQ(Read(1, 1, 2), "kept");
}

}  // namespace
