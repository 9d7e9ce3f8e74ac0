// The merge job against this application, over workbooks in memory: what the job relies on
// from every call, end to end.
#include <gtest/gtest.h>

#include <map>

#include "automation/ClassRegistry.h"
#include "automation/VariantConversion.h"
#include "merge/MergeJob.h"
#include "spreadsheet/core/CellValues.h"
#include "tests/spreadsheet/FakeCodec.h"

namespace spreadsheet {
namespace {

using automation::Variant;
using automation::VarType;

class Sources : public merge::ISourceList {
  public:
    explicit Sources(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    int Count() const override { return static_cast<int>(paths_.size()); }
    std::string Item(int index) const override { return paths_.at(std::size_t(index)); }
    void Clear() override { paths_.clear(); }

  private:
    std::vector<std::string> paths_;
};

class Progress : public merge::IProgressSink {
  public:
    void SetMaximum(int) override {}
    void SetPosition(int position) override { last = position; }
    int last = -1;
};

class Reasons : public merge::IMergeObserver {
  public:
    void OnFailure(const std::string& reason) override { text += reason; }
    std::string text;
};

// The source: rows 1 to 10; column 1 the row's number, column 2 a value of another kind.
void FillSource(Workbook& book) {
    Worksheet& sheet = book.worksheet(0);
    for (int row = 1; row <= 10; ++row)
        sheet.Load(row, 1, fake::NumberCell(row * 1.5));
    sheet.Load(1, 2, fake::TextCell(book, u"110101199003071234"));
    sheet.Load(2, 2, fake::NumberCell(45296, fake::kDateStyle));
    sheet.Load(3, 2, fake::TextCell(book, u" 张三 "));
    sheet.Load(4, 2, fake::TextCell(book, u"0012"));
    sheet.Load(5, 2, fake::NumberCell(0.5729166666666666, fake::kDateStyle));
    sheet.Load(6, 2, fake::NumberCell(1234.5, fake::kCurrencyStyle));
    Cell yes;
    yes.type = CellType::Boolean;
    yes.payload = 1;
    sheet.Load(7, 2, yes);
}

// The target: the skip column 5 holds text in rows 2, 3 and 10.
void FillTarget(Workbook& book) {
    for (int row : {2, 3, 10})
        book.worksheet(0).Load(row, 5, fake::TextCell(book, u"taken"));
    book.worksheet(1).Load(1, 1, fake::TextCell(book, u"other sheet"));
}

TEST(MergeThroughApplication, CopiesBelowTheCursorAndSavesTheTarget) {
    fake::FakeFiles files;
    files.Add("target.xls", {u"Data", u"Other"}, FillTarget);
    files.Add("source.xls", {u"Sheet1"}, FillSource);
    const automation::ScopedRegistration registration(merge::kProgIdSpreadsheet, [&] {
        ApplicationOptions options;
        options.load = files.Loader();
        return CreateSpreadsheetApplication(std::move(options));
    });

    // What the target holds when it is saved, as texts and value kinds.
    std::map<CellRef, Variant> saved;
    int liveTargets = -1;
    Sources sources({"source.xls"});
    Progress progress;
    std::vector<std::string> messages;
    Reasons reasons;
    merge::TMergeSettings settings;
    settings.TargetPath = "target.xls";
    settings.TargetSheetIndex = 0;
    settings.TargetStartRowText = "2";
    settings.TargetFromColumnText = "1";
    settings.TargetToColumnText = "2";
    settings.SkipOccupiedRows = true;
    settings.SkipColumnText = "5";
    settings.SourceSheetIndex = 0;
    settings.SourceFromRowText = "1";
    settings.SourceToRowText = "10";
    settings.SourceFromColumnText = "1";
    merge::RunMergeJob(
        settings, sources, progress,
        [&](const std::string& m) {
            messages.push_back(m);
            // The target is open, not yet saved, while the completion message shows.
            if (auto log = files.LogOf("target.xls"); log && !log->onSave) {
                log->onSave = [&](const Workbook& book) {
                    book.worksheet(0).ForEachCell(
                        [&](CellRef at, const Cell& cell) { saved[at] = CellValue(book, &cell); });
                };
            }
        },
        &reasons);
    liveTargets = files.LogOf("target.xls")->liveCodecs;

    EXPECT_EQ(messages, (std::vector<std::string>{merge::kMessageDone})) << reasons.text;
    EXPECT_EQ(files.LogOf("target.xls")->saves, 1);
    EXPECT_EQ(files.LogOf("source.xls")->saves, 0);
    EXPECT_EQ(liveTargets, 0) << "Quit left the target in memory";
    EXPECT_EQ(sources.Count(), 0);
    EXPECT_EQ(progress.last, 1);

    // Rows go to 4 to 9, then past the taken row 10 to 11 to 14.
    const int targetRows[] = {4, 5, 6, 7, 8, 9, 11, 12, 13, 14};
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE("source row " + std::to_string(i + 1));
        EXPECT_EQ(saved[(CellRef{targetRows[i], 1})], Variant((i + 1) * 1.5));
    }
    const std::pair<int, Variant> secondColumn[] = {
        {4, Variant(u"110101199003071234")},
        {5, Variant::Date(45296)},
        {6, Variant(u" 张三 ")},
        {7, Variant(u"0012")},
        {9, Variant(1234.5)},
        {11, Variant(-1.0)},
    };
    for (const auto& [row, value] : secondColumn) {
        EXPECT_EQ(saved[(CellRef{row, 2})], value)
            << "row " << row << ": " << automation::DescribeVariant(saved[(CellRef{row, 2})]);
    }
    EXPECT_EQ(saved[(CellRef{8, 2})].type(), VarType::Date);  // a time of day
    EXPECT_EQ(saved.count(CellRef{12, 2}), 0u) << "an empty source cell made a target cell";
    EXPECT_EQ(saved[(CellRef{10, 5})], Variant(u"taken"));
}

}  // namespace
}  // namespace spreadsheet
