#include "merge/MergeJob.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "merge/FakeSpreadsheet.h"

namespace {

using automation::Variant;
using merge::kMessageDone;
using merge::kMessageFailed;
using merge::kMessageSelectSheets;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VectorSourceList : public merge::ISourceList {
  public:
    std::vector<std::string> items;
    int Count() const override { return static_cast<int>(items.size()); }
    std::string Item(int index) const override { return items.at(index); }
    void Clear() override { items.clear(); }
};

class RecordingProgress : public merge::IProgressSink {
  public:
    int maximum = 100, position = 0;
    std::vector<std::string> calls;
    void SetMaximum(int m) override {
        maximum = m;
        calls.push_back("max " + std::to_string(m));
    }
    void SetPosition(int p) override {
        position = p;
        calls.push_back("pos " + std::to_string(p));
    }
};

class MergeJobTest : public ::testing::Test {
  protected:
    MergeJobTest() : registration_(merge::kProgIdSpreadsheet, world.Factory()) {
        settings.TargetPath = "/t/target.xls";
        settings.TargetSheetIndex = 0;
        settings.SourceSheetIndex = 0;
        world.files["/t/target.xls"].sheets.resize(2);
    }

    // A source workbook whose first sheet holds rows × columns of texts "r<row>c<col>".
    void AddSource(const std::string& path, int rows, int columns) {
        auto& sheet = world.files[path].sheets.emplace_back();
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= columns; ++c)
                sheet[{r, c}] =
                    Variant::FromUtf8(path + ":r" + std::to_string(r) + "c" + std::to_string(c));
    }

    void Run() {
        merge::RunMergeJob(
            settings, sources, progress,
            [this](const std::string& m) {
                messages.push_back(m);
                if (onMessage)
                    onMessage(m);
            },
            &observer);
    }

    std::string Saved(int row, int column, int sheet = 0) const {
        const Variant* v = world.SavedCell("/t/target.xls", sheet, row, column);
        return v ? automation::DescribeVariant(*v) : "none";
    }
    static std::string Str(const std::string& s) { return "String \"" + s + "\""; }

    struct Observer : merge::IMergeObserver {
        std::vector<std::string> reasons;
        void OnFailure(const std::string& r) override { reasons.push_back(r); }
    } observer;

    fake::World world;
    automation::ScopedRegistration registration_;
    merge::TMergeSettings settings;
    VectorSourceList sources;
    RecordingProgress progress;
    std::vector<std::string> messages;
    std::function<void(const std::string&)> onMessage;
};

TEST_F(MergeJobTest, SmallRunMakesExactlyTheseCalls) {
    AddSource("/s/a.xls", 1, 2);
    sources.items = {"/s/a.xls"};
    settings.TargetToColumnText = "2";
    settings.SourceFromColumnText = "1";
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageDone));
    EXPECT_THAT(
        world.log,
        ElementsAre("create #1",                      //
                    "T:App.Visible put(Bool false)",  //
                    "create #2",                      //
                    "S:App.Visible put(Bool false)",  //
                    "T:App.WorkBooks get()",          //
                    "T:Workbooks.Open call(String \"/t/target.xls\")",
                    "T:App.WorkSheets get(I4 1)",  //
                    "T:Sheet.Activate call()",     //
                    "S:App.WorkBooks get()",       //
                    "S:Workbooks.Open call(String \"/s/a.xls\")",
                    "S:App.WorkSheets get(I4 1)",    //
                    "S:Sheet.Activate call()",       //
                    "S:App.Cells get(I4 1, &I4 1)",  //
                    "S:Cell.Value get()",            //
                    "T:App.Cells get(&I4 2, I4 1)", "T:Cell.Value put(&String \"/s/a.xls:r1c1\")",
                    "S:App.Cells get(I4 1, &I4 2)",  //
                    "S:Cell.Value get()",            //
                    "T:App.Cells get(&I4 2, I4 2)", "T:Cell.Value put(&String \"/s/a.xls:r1c2\")",
                    "S:App.WorkBooks get()",       //
                    "S:Workbooks.Close call()",    //
                    "T:App.activeworkbook get()",  //
                    "T:Workbook.save call()",      //
                    "T:App.Quit call()",           //
                    "S:App.Quit call()"));
    EXPECT_THAT(progress.calls, ElementsAre("max 1", "pos 0", "pos 1"));
    EXPECT_THAT(sources.items, IsEmpty());
    EXPECT_EQ(Saved(2, 2), Str("/s/a.xls:r1c2"));
}

TEST_F(MergeJobTest, CursorSkipsOccupiedRowsBeforeEverySourceRow) {
    AddSource("/s/a.xls", 10, 1);
    sources.items = {"/s/a.xls"};
    for (int row : {2, 3, 10})
        world.files["/t/target.xls"].sheets[0][{row, 5}] = Variant(1.0);
    settings.SkipOccupiedRows = true;
    settings.SkipColumnText = "5";
    settings.SourceToRowText = "10";
    Run();
    ASSERT_THAT(messages, ElementsAre(kMessageDone));
    std::vector<int> expectedRows = {4, 5, 6, 7, 8, 9, 11, 12, 13, 14};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Saved(expectedRows[i], 1), Str("/s/a.xls:r" + std::to_string(i + 1) + "c1"));
    EXPECT_EQ(Saved(10, 1), "none");
}

TEST_F(MergeJobTest, CursorCarriesOverFromWorkbookToWorkbook) {
    AddSource("/s/a.xls", 3, 1);
    AddSource("/s/b.xls", 3, 1);
    sources.items = {"/s/a.xls", "/s/b.xls"};
    settings.SourceToRowText = "3";
    Run();
    ASSERT_THAT(messages, ElementsAre(kMessageDone));
    EXPECT_EQ(Saved(2, 1), Str("/s/a.xls:r1c1"));
    EXPECT_EQ(Saved(4, 1), Str("/s/a.xls:r3c1"));
    EXPECT_EQ(Saved(5, 1), Str("/s/b.xls:r1c1"));
    EXPECT_EQ(Saved(7, 1), Str("/s/b.xls:r3c1"));
    EXPECT_THAT(progress.calls, ElementsAre("max 2", "pos 0", "pos 1", "pos 2"));
}

TEST_F(MergeJobTest, SamePathTwiceCopiesItsRowsTwice) {
    AddSource("/s/a.xls", 2, 1);
    sources.items = {"/s/a.xls", "/s/a.xls"};
    settings.SourceToRowText = "2";
    Run();
    EXPECT_EQ(world.Count("Workbooks.Open call(String \"/s/a.xls\")"), 2u);
    EXPECT_EQ(Saved(3, 1), Str("/s/a.xls:r2c1"));
    EXPECT_EQ(Saved(4, 1), Str("/s/a.xls:r1c1"));
}

TEST_F(MergeJobTest, FilterCopiesOnlyRowsWhoseCellHoldsText) {
    // Row by row: the filter cell in column 3, and whether the row is copied.
    struct Case {
        Variant filterCell;
        bool copied;
    };
    const std::vector<Case> cases = {
        {Variant(), false},                         // empty
        {Variant::FromUtf8("   "), false},          // spaces only
        {Variant::FromUtf8("\t\r\n"), false},       // control characters only
        {Variant(0.0), true},                       // the number 0 holds text
        {Variant::FromUtf8("x"), true},             //
        {Variant::FromUtf8("\xE3\x80\x80"), true},  // the full-width space is kept
        {Variant(false), true},                     // "0"
    };
    auto& sheet = world.files["/s/a.xls"].sheets.emplace_back();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        int row = static_cast<int>(i) + 1;
        sheet[{row, 1}] = Variant::FromUtf8("row" + std::to_string(row));
        if (!cases[i].filterCell.isEmpty())
            sheet[{row, 3}] = cases[i].filterCell;
    }
    sources.items = {"/s/a.xls"};
    settings.FilterNonEmptyRows = true;
    settings.FilterColumnText = "3";
    settings.SourceToRowText = std::to_string(cases.size());
    Run();
    ASSERT_THAT(messages, ElementsAre(kMessageDone));
    int targetRow = 2;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (!cases[i].copied)
            continue;
        EXPECT_EQ(Saved(targetRow, 1), Str("row" + std::to_string(i + 1))) << "case " << i;
        ++targetRow;
    }
    EXPECT_EQ(Saved(targetRow, 1), "none");
}

TEST_F(MergeJobTest, CopiesUntrimmedTextsAndEmptyCells) {
    auto& sheet = world.files["/s/a.xls"].sheets.emplace_back();
    sheet[{1, 1}] = Variant::FromUtf8("  padded  ");
    sheet[{1, 3}] = Variant(2.5);
    sources.items = {"/s/a.xls"};
    settings.TargetFromColumnText = "4";
    settings.TargetToColumnText = "6";
    Run();
    EXPECT_EQ(Saved(2, 4), Str("  padded  "));
    EXPECT_EQ(Saved(2, 5), Str(""));
    EXPECT_EQ(Saved(2, 6), Str("2.5"));
}

TEST_F(MergeJobTest, EmptyTargetColumnRangeWritesNothingButAdvancesTheCursor) {
    AddSource("/s/a.xls", 3, 1);
    sources.items = {"/s/a.xls"};
    settings.SourceToRowText = "3";
    settings.TargetFromColumnText = "2";
    settings.TargetToColumnText = "1";
    settings.SkipOccupiedRows = true;  // its reads show where the cursor stands
    Run();
    ASSERT_THAT(messages, ElementsAre(kMessageDone));
    EXPECT_EQ(world.Count("Value put"), 0u);
    EXPECT_THAT(world.Matching("T:App.Cells get"),
                ElementsAre("T:App.Cells get(&I4 2, &I4 1)", "T:App.Cells get(&I4 3, &I4 1)",
                            "T:App.Cells get(&I4 4, &I4 1)"));
}

TEST_F(MergeJobTest, SourceRowsBelowTheirStartOpenAndCloseEveryWorkbook) {
    AddSource("/s/a.xls", 3, 1);
    AddSource("/s/b.xls", 3, 1);
    sources.items = {"/s/a.xls", "/s/b.xls"};
    settings.SourceFromRowText = "3";
    settings.SourceToRowText = "2";
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageDone));
    EXPECT_EQ(world.Count("Workbooks.Close"), 2u);
    EXPECT_EQ(world.Count("Cells"), 0u);
    EXPECT_EQ(progress.position, 2);
}

// Number fields are parsed only where the run needs them.
TEST_F(MergeJobTest, FieldsTheRunDoesNotNeedMayHoldAnyText) {
    settings.SkipColumnText = "";
    settings.FilterColumnText = "x";
    settings.SourceFromRowText = "?";
    settings.SourceToRowText = "";
    settings.SourceFromColumnText = "1.0";
    settings.TargetFromColumnText = "1,000";
    settings.TargetToColumnText = " ";
    Run();  // an empty source list parses the first target row only
    EXPECT_THAT(messages, ElementsAre(kMessageDone));
    EXPECT_THAT(progress.calls, ElementsAre("max 0", "pos 0"));
    EXPECT_EQ(world.Count("Workbook.save"), 1u);
    EXPECT_EQ(world.Count("App.Quit"), 2u);

    // Every row filtered out: the copy fields are never parsed.
    messages.clear();
    AddSource("/s/a.xls", 2, 1);
    sources.items = {"/s/a.xls"};
    settings.SourceFromRowText = "1";
    settings.SourceToRowText = "2";
    settings.FilterNonEmptyRows = true;
    settings.FilterColumnText = "9";
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageDone));
}

TEST_F(MergeJobTest, NoSelectionShowsOnlyTheMessage) {
    for (auto [target, source] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{-1, -1}}) {
        world.log.clear();
        messages.clear();
        settings.TargetSheetIndex = target;
        settings.SourceSheetIndex = source;
        sources.items = {"/s/a.xls"};
        progress.calls.clear();
        Run();
        EXPECT_THAT(messages, ElementsAre(kMessageSelectSheets));
        EXPECT_THAT(world.log, IsEmpty());
        EXPECT_THAT(progress.calls, IsEmpty());
        EXPECT_THAT(sources.items, ElementsAre("/s/a.xls"));
    }
}

TEST_F(MergeJobTest, FailureStartingEitherInstanceRunsNoCleanUp) {
    for (int failing : {1, 2}) {
        SCOPED_TRACE(failing);
        world.log.clear();
        world.created = 0;
        world.failCreateNumber = failing;
        messages.clear();
        observer.reasons.clear();
        AddSource("/s/a.xls", 1, 1);
        sources.items = {"/s/a.xls"};
        Run();
        EXPECT_THAT(messages, ElementsAre(kMessageFailed));
        EXPECT_EQ(world.Count("Quit"), 0u);
        EXPECT_EQ(world.Count("save"), 0u);
        EXPECT_THAT(sources.items, ElementsAre("/s/a.xls"));
        EXPECT_EQ(progress.maximum, 1);
        EXPECT_EQ(progress.position, 0);
        ASSERT_EQ(observer.reasons.size(), 1u);
        EXPECT_THAT(observer.reasons[0], ::testing::HasSubstr("cannot start the application"));
    }
}

TEST_F(MergeJobTest, MissingTargetLeavesTheListAndQuitsNothing) {
    for (std::string path : {"", "/t/missing.xls"}) {
        world.log.clear();
        messages.clear();
        settings.TargetPath = path;
        sources.items = {"/s/a.xls"};
        Run();
        EXPECT_THAT(messages, ElementsAre(kMessageFailed));
        EXPECT_EQ(world.Count("activeworkbook"), 1u);  // the save finds no workbook
        EXPECT_EQ(world.Count("Quit"), 0u);
        EXPECT_THAT(sources.items, ElementsAre("/s/a.xls"));
    }
}

TEST_F(MergeJobTest, InvalidFirstRowFailsAfterTheTargetOpened) {
    world.files["/t/target.xls"].sheets[0][{1, 1}] = Variant::FromUtf8("kept");
    AddSource("/s/a.xls", 1, 1);
    sources.items = {"/s/a.xls"};
    settings.TargetStartRowText = "2 ";
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageFailed));
    EXPECT_EQ(world.Count("Workbook.save"), 1u);
    EXPECT_EQ(Saved(1, 1), Str("kept"));
    EXPECT_EQ(world.Count("Workbooks.Open call(String \"/s/a.xls\")"), 0u);
    EXPECT_THAT(sources.items, IsEmpty());
    EXPECT_EQ(world.Count("App.Quit"), 2u);
    EXPECT_THAT(observer.reasons.at(0), ::testing::HasSubstr("first target row"));
}

TEST_F(MergeJobTest, ThirdOfFiveSourcesFailingKeepsTheRowsOfTheFirstTwo) {
    for (const char* p : {"/s/1.xls", "/s/2.xls", "/s/4.xls", "/s/5.xls"})
        AddSource(p, 1, 1);
    sources.items = {"/s/1.xls", "/s/2.xls", "/s/3.xls", "/s/4.xls", "/s/5.xls"};
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageFailed));
    EXPECT_EQ(Saved(2, 1), Str("/s/1.xls:r1c1"));
    EXPECT_EQ(Saved(3, 1), Str("/s/2.xls:r1c1"));
    EXPECT_EQ(Saved(4, 1), "none");
    EXPECT_EQ(progress.maximum, 5);
    EXPECT_EQ(progress.position, 2);
    EXPECT_THAT(sources.items, IsEmpty());
    EXPECT_EQ(world.Count("App.Quit"), 2u);
    EXPECT_THAT(observer.reasons.at(0), ::testing::HasSubstr("source workbook 3 \"/s/3.xls\""));
}

TEST_F(MergeJobTest, ErrorValueFailsTheRunAfterSavingWhatWasWritten) {
    auto& sheet = world.files["/s/a.xls"].sheets.emplace_back();
    sheet[{1, 1}] = Variant::FromUtf8("a1");
    sheet[{1, 2}] = Variant::FromUtf8("b1");
    sheet[{2, 1}] = Variant::FromUtf8("a2");
    sheet[{2, 2}] = Variant::ErrorCode(static_cast<std::int32_t>(0x800A07D7));  // #DIV/0!
    sources.items = {"/s/a.xls"};
    settings.SourceToRowText = "2";
    settings.TargetToColumnText = "2";
    Run();
    EXPECT_THAT(messages, ElementsAre(kMessageFailed));
    EXPECT_EQ(Saved(2, 2), Str("b1"));
    EXPECT_EQ(Saved(3, 1), Str("a2"));  // the partly written row stays
    EXPECT_EQ(Saved(3, 2), "none");
    EXPECT_THAT(sources.items, IsEmpty());
    EXPECT_EQ(world.Count("App.Quit"), 2u);
}

TEST_F(MergeJobTest, CompletionIsShownBeforeTheSaveAndAFailingSaveFollowsIt) {
    AddSource("/s/a.xls", 1, 1);
    sources.items = {"/s/a.xls"};
    world.failSave = true;
    bool savedBeforeMessage = true;
    std::size_t listWhenDone = 0;
    onMessage = [&](const std::string& m) {
        if (m == kMessageDone) {
            savedBeforeMessage = Saved(2, 1) != "none";
            listWhenDone = sources.items.size();
        }
    };
    Run();
    EXPECT_FALSE(savedBeforeMessage);
    EXPECT_EQ(listWhenDone, 1u);
    EXPECT_THAT(messages, ElementsAre(kMessageDone, kMessageFailed));
    EXPECT_THAT(sources.items, ElementsAre("/s/a.xls"));
    EXPECT_EQ(world.Count("Quit"), 0u);
    EXPECT_THAT(observer.reasons.at(0), ::testing::HasSubstr("the disk is full"));
}

TEST_F(MergeJobTest, ImpossibleCellsAndSheetsFailLikeAnyOtherCall) {
    AddSource("/s/a.xls", 1, 1);
    struct Case {
        const char* name;
        std::function<void(merge::TMergeSettings&)> change;
    };
    const std::vector<Case> cases = {
        {"row 0", [](auto& s) { s.SourceFromRowText = "0"; }},
        {"column beyond the sheet", [](auto& s) { s.SourceFromColumnText = "257"; }},
        {"target sheet beyond the workbook", [](auto& s) { s.TargetSheetIndex = 9; }},
        {"source sheet beyond the workbook", [](auto& s) { s.SourceSheetIndex = 1; }},
        {"target row beyond the sheet", [](auto& s) { s.TargetStartRowText = "65537"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        merge::TMergeSettings saved = settings;
        c.change(settings);
        messages.clear();
        sources.items = {"/s/a.xls"};
        Run();
        EXPECT_THAT(messages, ElementsAre(kMessageFailed));
        settings = saved;
    }
}

}  // namespace
