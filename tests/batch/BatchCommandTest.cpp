#include "app/batch/BatchCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "merge/FakeSpreadsheet.h"
#include "merge/MergeJob.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class BatchCommandTest : public ::testing::Test {
  protected:
    BatchCommandTest() : registration_(merge::kProgIdSpreadsheet, world.Factory()) {
        world.files["/t/target.xls"].sheets.resize(3);
        for (const char* p : {"/s/a.xls", "/s/b.xls", "/s/c.xls"}) {
            auto& sheets = world.files[p].sheets;
            sheets.resize(2);
            sheets[1][{1, 1}] = automation::Variant::FromUtf8(p);
        }
    }

    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return batch::RunBatchCommand(args, out, err, /*progressToErr=*/true);
    }

    fake::World world;
    automation::ScopedRegistration registration_;
    std::ostringstream out, err;
};

TEST_F(BatchCommandTest, OptionsReachTheJobAsTheWindowWouldGiveThem) {
    const std::string list = ::testing::TempDir() + "/sources.txt";
    std::ofstream(list) << "/s/c.xls\r\n\n/s/a.xls\n";
    int rc = Run({"--target", "/t/target.xls", "--target-sheet", "3", "--source-sheet=2",
                  "--target-start-row", "5", "--target-to-column", "1", "/s/b.xls",
                  "--sources-from", list});
    EXPECT_EQ(rc, batch::kExitCompleted);
    EXPECT_EQ(out.str(), std::string(merge::kMessageDone) + "\n");
    EXPECT_THAT(world.Matching("WorkSheets"),
                ElementsAre("T:App.WorkSheets get(I4 3)", "S:App.WorkSheets get(I4 2)",
                            "S:App.WorkSheets get(I4 2)", "S:App.WorkSheets get(I4 2)"));
    // Positional sources first, then the list file's lines in order.
    EXPECT_THAT(world.Matching("Open call(String \"/s/"),
                ElementsAre(HasSubstr("/s/b.xls"), HasSubstr("/s/c.xls"), HasSubstr("/s/a.xls")));
    EXPECT_NE(world.SavedCell("/t/target.xls", 2, 7, 1), nullptr);  // rows 5, 6, 7
    EXPECT_THAT(err.str(), HasSubstr("workbook 3 of 3 done"));
    std::remove(list.c_str());
}

TEST_F(BatchCommandTest, SkipAndFilterOptionsTurnTheirChecksOn) {
    int rc = Run({"--target", "/t/target.xls", "--target-sheet", "1", "--source-sheet", "2",
                  "--skip-column", "4", "--filter-column", "1", "/s/a.xls"});
    EXPECT_EQ(rc, batch::kExitCompleted);
    EXPECT_THAT(world.Matching("T:App.Cells get"),
                ElementsAre("T:App.Cells get(&I4 2, &I4 4)", "T:App.Cells get(&I4 2, I4 1)"));
    EXPECT_THAT(world.Matching("S:App.Cells get"),
                ElementsAre("S:App.Cells get(I4 1, &I4 1)", "S:App.Cells get(I4 1, &I4 1)"));
}

TEST_F(BatchCommandTest, ExitStatusTellsCompletedFailedAndUsage) {
    struct Case {
        std::vector<std::string> args;
        int rc;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {{"--target", "/t/target.xls", "/s/a.xls"}, 1, merge::kMessageSelectSheets, ""},
        {{"--target", "/t/missing.xls", "--target-sheet", "1", "--source-sheet", "1"},
         1,
         merge::kMessageFailed,
         "reason: opening the target workbook \"/t/missing.xls\""},
        {{"--bogus"}, 2, "", "unknown option --bogus"},
        {{"--target"}, 2, "", "--target needs a value"},
        {{"--target-sheet", "11"}, 2, "", "from 1 to 10"},
        {{"--source-sheet", "0"}, 2, "", "from 1 to 10"},
        {{"--sources-from", "/nonexistent/list"}, 2, "", "cannot read the list"},
        {{"--help"}, 0, "usage: excelmerge-batch", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        EXPECT_EQ(Run(c.args), c.rc);
        EXPECT_THAT(out.str(), HasSubstr(c.out));
        EXPECT_THAT(err.str(), HasSubstr(c.err));
    }
}

TEST_F(BatchCommandTest, AFailingSaveAfterCompletionIsAFailure) {
    world.failSave = true;
    int rc = Run(
        {"--target", "/t/target.xls", "--target-sheet", "1", "--source-sheet", "2", "/s/a.xls"});
    EXPECT_EQ(rc, batch::kExitFailed);
    EXPECT_EQ(out.str(), std::string(merge::kMessageDone) + "\n" + merge::kMessageFailed + "\n");
    EXPECT_THAT(err.str(), HasSubstr("the disk is full"));
}

TEST_F(BatchCommandTest, TextAfterDoubleDashIsASourceEvenWhenItLooksLikeAnOption) {
    world.files["--odd.xls"].sheets.resize(1);
    int rc = Run({"--target", "/t/target.xls", "--target-sheet", "1", "--source-sheet", "1", "--",
                  "--odd.xls"});
    EXPECT_EQ(rc, batch::kExitCompleted);
    EXPECT_EQ(world.Count("Open call(String \"--odd.xls\")"), 1u);
}

}  // namespace
