#include "spreadsheet/application/SpreadsheetApplication.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "automation/Dispatch.h"
#include "automation/VariantConversion.h"
#include "tests/spreadsheet/FakeCodec.h"

namespace spreadsheet {
namespace {

using automation::Arg;
using automation::AsObject;
using automation::AutomationError;
using automation::Call;
using automation::DispatchObject;
using automation::Get;
using automation::Put;
using automation::Variant;
using automation::VarType;
using ::testing::HasSubstr;

const QLocale kChina(QLocale::Chinese, QLocale::China);

// A source-like workbook: two sheets with a few values, the second one holding its own.
void FillReport(Workbook& book) {
    Worksheet& first = book.worksheet(0);
    first.Load(1, 1, fake::TextCell(book, u"姓名"));
    first.Load(1, 2, fake::NumberCell(3.5));
    first.Load(2, 1, fake::NumberCell(45296, fake::kDateStyle));
    first.Load(2, 2, fake::NumberCell(12.5, fake::kCurrencyStyle));
    Cell formula = fake::NumberCell(7);
    formula.formula = true;
    first.Load(3, 1, formula);
    Cell blank;
    blank.style = fake::kFixed2;
    first.Load(4, 1, blank);
    book.worksheet(1).Load(1, 1, fake::TextCell(book, u"second"));
}

class ApplicationTest : public ::testing::Test {
  protected:
    ApplicationTest() {
        files_.Add("report.xls", {u"Sheet1", u"Sheet2"}, FillReport);
        files_.Add("other.xls", {u"Only"},
                   [](Workbook& b) { b.worksheet(0).Load(1, 1, fake::NumberCell(99)); });
        app_ = NewApp();
    }

    std::shared_ptr<DispatchObject> NewApp() {
        ApplicationOptions options;
        options.load = files_.Loader();
        options.locale = kChina;
        return CreateSpreadsheetApplication(std::move(options));
    }

    static void Open(DispatchObject& app, const char16_t* path) {
        Call(*AsObject(Get(app, "WorkBooks"), "WorkBooks"), "Open", {Arg::ByVal(path)});
    }
    static std::shared_ptr<DispatchObject> Cell(DispatchObject& app, int row, int column) {
        return AsObject(Get(app, "Cells", {Arg::ByVal(row), Arg::ByVal(column)}), "Cells");
    }
    static Variant ValueAt(DispatchObject& app, int row, int column) {
        return Get(*Cell(app, row, column), "Value");
    }
    static void Write(DispatchObject& app, int row, int column, const char16_t* text) {
        Variant value(text);
        Put(*Cell(app, row, column), "Value", Arg::ByRef(value));
    }
    static std::string Shown(const Variant& v) { return automation::VariantToString(v, kChina); }

    fake::FakeFiles files_;
    std::shared_ptr<DispatchObject> app_;
};

TEST_F(ApplicationTest, ReadsTheCellsOfTheActiveSheet) {
    Open(*app_, u"report.xls");
    EXPECT_EQ(ValueAt(*app_, 1, 1), Variant(u"姓名"));
    EXPECT_EQ(ValueAt(*app_, 1, 2), Variant(3.5));
    EXPECT_EQ(ValueAt(*app_, 2, 1).type(), VarType::Date);
    EXPECT_EQ(Shown(ValueAt(*app_, 2, 1)), "2024/1/5");
    EXPECT_EQ(ValueAt(*app_, 2, 2), Variant::CurrencyScaled(125000));
    EXPECT_EQ(ValueAt(*app_, 3, 1), Variant(7.0));  // a formula's cached result
    EXPECT_TRUE(ValueAt(*app_, 4, 1).isEmpty());    // formatted, no value
    EXPECT_TRUE(ValueAt(*app_, 65536, 256).isEmpty());

    // Another worksheet, by number, then activated; arguments by reference, names in any case.
    Variant two(std::int32_t{2});
    Call(*AsObject(Get(*app_, "worksheets", {Arg::ByRef(two)}), "WorkSheets"), "ACTIVATE");
    Variant row(std::int32_t{1}), column(1.0);
    auto cell = AsObject(Get(*app_, "CELLS", {Arg::ByRef(row), Arg::ByRef(column)}), "Cells");
    EXPECT_EQ(Get(*cell, "vAlUe"), Variant(u"second"));
    EXPECT_EQ(row, Variant(std::int32_t{1}));  // the caller's variables stay as they were
}

TEST_F(ApplicationTest, OpeningMakesTheWorkbookActiveAndClosingReleasesIt) {
    auto workbooks = AsObject(Get(*app_, "WorkBooks"), "WorkBooks");
    EXPECT_EQ(Get(*workbooks, "Count"), Variant(std::int32_t{0}));
    Open(*app_, u"report.xls");
    Open(*app_, u"other.xls");
    EXPECT_EQ(Get(*workbooks, "Count"), Variant(std::int32_t{2}));
    EXPECT_EQ(ValueAt(*app_, 1, 1), Variant(99.0));
    EXPECT_EQ(Get(*AsObject(Get(*app_, "activeworkbook"), "active"), "FullName"),
              Variant(u"other.xls"));

    // A worksheet of the first workbook, activated, makes that workbook active again.
    auto first = AsObject(Get(*workbooks, "Item", {Arg::ByVal(std::int32_t{1})}), "Item");
    Call(*AsObject(Get(*first, "WorkSheets", {Arg::ByVal(std::int32_t{1})}), "sheet"), "Activate");
    EXPECT_EQ(ValueAt(*app_, 1, 1), Variant(u"姓名"));

    auto heldCell = Cell(*app_, 1, 1);
    const auto log = files_.LogOf("report.xls");
    Call(*workbooks, "Close");
    EXPECT_EQ(Get(*workbooks, "Count"), Variant(std::int32_t{0}));
    EXPECT_EQ(log->liveCodecs, 0) << "a closed workbook stays in memory";
    EXPECT_EQ(files_.LogOf("other.xls")->liveCodecs, 0);
    EXPECT_EQ(log->saves, 0);
    EXPECT_THROW(Get(*heldCell, "Value"), AutomationError);
    EXPECT_THROW(Get(*app_, "activeworkbook"), AutomationError);
}

TEST_F(ApplicationTest, StoresWrittenTextsByTheirMeaningAndKeepsFormats) {
    Open(*app_, u"report.xls");
    const auto log = files_.LogOf("report.xls");
    struct WriteCase {
        int row, column;
        const char16_t* text;
        VarType type;
    };
    const WriteCase cases[] = {
        {10, 1, u"12", VarType::R8},
        {10, 2, u"110101199003071234", VarType::String},
        {10, 3, u"0012", VarType::String},
        {10, 4, u" 12 ", VarType::String},
        {10, 5, u"2024/1/5", VarType::Date},
        {10, 6, u"13:45:00", VarType::Date},
        {10, 7, u"2024/1/5 13:45:00", VarType::Date},
        {3, 1, u"text over a formula", VarType::String},
        {1, 2, u"-2.5", VarType::R8},
    };
    for (const auto& c : cases) {
        Write(*app_, c.row, c.column, c.text);
        const Variant back = ValueAt(*app_, c.row, c.column);
        EXPECT_EQ(back.type(), c.type) << automation::DescribeVariant(back);
        EXPECT_EQ(Shown(back), automation::VariantToString(Variant(c.text), kChina));
    }
    // Dates written into General cells asked for a date format that shows them.
    using Request = std::pair<std::uint32_t, DateTimeKind>;
    EXPECT_THAT(log->dateStyleRequests,
                ::testing::ElementsAre(Request{fake::kGeneral, DateTimeKind::Date},
                                       Request{fake::kGeneral, DateTimeKind::Time},
                                       Request{fake::kGeneral, DateTimeKind::DateTime}));
    // A date written into a formatted cell keeps that format (and so shows as a number).
    Write(*app_, 4, 1, u"2024/1/5");
    EXPECT_EQ(ValueAt(*app_, 4, 1), Variant(45296.0));
    EXPECT_EQ(log->dateStyleRequests.size(), 3u);
}

TEST_F(ApplicationTest, WritesTheModelAsTheCodecNeedsIt) {
    // The model behind the objects, through a loader that keeps a pointer to what it loaded.
    Workbook* loaded = nullptr;
    ApplicationOptions options;
    options.locale = kChina;
    options.load = [&, inner = files_.Loader()](const std::string& path) {
        auto b = inner(path);
        loaded = b.get();
        return b;
    };
    auto app = CreateSpreadsheetApplication(std::move(options));
    Open(*app, u"report.xls");
    Write(*app, 3, 1, u"5");                                  // over a formula
    Write(*app, fake::FakeCodec::kStyledRow, 2, u"row");      // new cell in a styled row
    Write(*app, 20, fake::FakeCodec::kStyledColumn, u"col");  // and in a styled column
    Write(*app, 4, 1, u"");                                   // clears, keeps the format
    Write(*app, 30, 30, u"");                                 // nothing there: nothing made
    Write(*app, 3, 1, u"6");                                  // listed once
    ASSERT_NE(loaded, nullptr);
    const Worksheet& sheet = loaded->worksheet(0);
    EXPECT_EQ(sheet.written(), (std::vector<CellRef>{{3, 1},
                                                     {fake::FakeCodec::kStyledRow, 2},
                                                     {20, fake::FakeCodec::kStyledColumn},
                                                     {4, 1}}));
    EXPECT_FALSE(sheet.Find(3, 1)->formula);
    EXPECT_EQ(sheet.Find(3, 1)->number, 6);
    EXPECT_EQ(sheet.Find(fake::FakeCodec::kStyledRow, 2)->style, fake::kRowStyle);
    EXPECT_EQ(sheet.Find(20, fake::FakeCodec::kStyledColumn)->style, fake::kColumnStyle);
    EXPECT_EQ(sheet.Find(4, 1)->type, CellType::Empty);
    EXPECT_EQ(sheet.Find(4, 1)->style, fake::kFixed2);
    EXPECT_EQ(sheet.Find(30, 30), nullptr);
    EXPECT_EQ(loaded->strings().at(sheet.Find(fake::FakeCodec::kStyledRow, 2)->payload), u"row");

    Call(*AsObject(Get(*app, "activeworkbook"), "activeworkbook"), "save");
    EXPECT_EQ(files_.LogOf("report.xls")->saves, 1);
}

TEST_F(ApplicationTest, PutsValuesOfOtherKinds) {
    Open(*app_, u"report.xls");
    const std::pair<Variant, Variant> cases[] = {
        {Variant(std::int32_t{42}), Variant(42.0)},
        {Variant(true), Variant(true)},
        {Variant::CurrencyScaled(12345), Variant(1.2345)},
        {Variant::Date(45296.5), Variant::Date(45296.5)},
        {Variant::ErrorCode(static_cast<std::int32_t>(0x800A07D7u)),
         Variant::ErrorCode(static_cast<std::int32_t>(0x800A07D7u))},
        {Variant(), Variant()},
    };
    for (const auto& [written, expected] : cases) {
        Put(*Cell(*app_, 1, 1), "Value", Arg::ByVal(written));
        EXPECT_EQ(ValueAt(*app_, 1, 1), expected) << automation::DescribeVariant(written);
    }
    EXPECT_THROW(Put(*Cell(*app_, 1, 1), "Value", Arg::ByVal(Variant(app_))), AutomationError);
    EXPECT_THROW(Put(*Cell(*app_, 1, 1), "Value", Arg::ByVal(Variant::Date(-5))), AutomationError);
}

// Every refusal is an AutomationError whose text says what went wrong.
TEST_F(ApplicationTest, RefusesImpossibleCallsWithAReason) {
    const auto workbooks = [&] { return AsObject(Get(*app_, "WorkBooks"), "WorkBooks"); };
    const auto cellsAt = [&](int row, int column) {
        return [=, this] { Cell(*app_, row, column); };
    };
    const std::pair<std::function<void()>, const char*> beforeOpen[] = {
        {[&] { Get(*app_, "activeworkbook"); }, "no workbook is open"},
        {[&] { Cell(*app_, 1, 1); }, "no workbook is open"},
        {[&] { Get(*app_, "WorkSheets", {Arg::ByVal(std::int32_t{1})}); }, "no workbook is open"},
        {[&] { Open(*app_, u"missing.xls"); }, "\"missing.xls\" does not exist"},
        {[&] { Call(*workbooks(), "Open", {Arg::ByVal(std::int32_t{3})}); }, "needs a file name"},
        {[&] { Call(*workbooks(), "Open"); }, "takes 1 argument"},
    };
    for (const auto& [call, reason] : beforeOpen) {
        try {
            call();
            ADD_FAILURE() << "no refusal; expected: " << reason;
        } catch (const AutomationError& e) {
            EXPECT_THAT(e.what(), HasSubstr(reason));
        }
    }

    Open(*app_, u"report.xls");
    const std::pair<std::function<void()>, const char*> afterOpen[] = {
        {[&] { Get(*app_, "Selection"); }, "Application has no member \"Selection\""},
        {[&] { Get(*Cell(*app_, 1, 1), "Formula"); }, "Range has no member \"Formula\""},
        {cellsAt(0, 1), "row 0 is outside the sheet's rows 1 to 65536"},
        {cellsAt(65537, 1), "row 65537 is outside"},
        {cellsAt(-1, 1), "row -1 is outside"},
        {cellsAt(1, 0), "column 0 is outside the sheet's columns 1 to 256"},
        {cellsAt(1, 257), "column 257 is outside"},
        {[&] { Get(*app_, "Cells", {Arg::ByVal(std::int32_t{1})}); }, "takes a row and a column"},
        {[&] {
             Get(*app_, "Cells", {Arg::ByVal(1.5), Arg::ByVal(std::int32_t{1})});
         },
         "not a whole number"},
        {[&] {
             Get(*app_, "Cells", {Arg::ByVal(u"x"), Arg::ByVal(std::int32_t{1})});
         },
         "not a whole number"},
        {[&] { Get(*app_, "WorkSheets", {Arg::ByVal(std::int32_t{3})}); },
         "worksheet 3 does not exist: the workbook has 2"},
        {[&] { Get(*app_, "WorkSheets", {Arg::ByVal(std::int32_t{0})}); }, "worksheet 0"},
        {[&] { Put(*app_, "WorkBooks", Arg::ByVal(true)); }, "cannot be used as a put"},
        {[&] {
             Put(*app_, "Cells", {Arg::ByVal(1), Arg::ByVal(1)}, Arg::ByVal(true));
         },
         "cannot be used as a put"},
    };
    for (const auto& [call, reason] : afterOpen) {
        try {
            call();
            ADD_FAILURE() << "no refusal; expected: " << reason;
        } catch (const AutomationError& e) {
            EXPECT_THAT(e.what(), HasSubstr(reason));
        }
    }
}

TEST_F(ApplicationTest, SaveFailuresCarryTheReason) {
    Open(*app_, u"report.xls");
    files_.LogOf("report.xls")->failSaveWith = "the folder is read-only";
    try {
        Call(*AsObject(Get(*app_, "activeworkbook"), "activeworkbook"), "save");
        ADD_FAILURE() << "save did not fail";
    } catch (const AutomationError& e) {
        EXPECT_THAT(e.what(), HasSubstr("cannot save \"report.xls\": the folder is read-only"));
    }
}

TEST_F(ApplicationTest, RefusesEveryCallAfterQuit) {
    Open(*app_, u"report.xls");
    auto workbooks = AsObject(Get(*app_, "WorkBooks"), "WorkBooks");
    auto book = AsObject(Get(*app_, "activeworkbook"), "activeworkbook");
    auto cell = Cell(*app_, 1, 1);
    const auto log = files_.LogOf("report.xls");
    Call(*app_, "Quit");
    EXPECT_EQ(log->liveCodecs, 0);
    const std::function<void()> calls[] = {
        [&] { Get(*app_, "Visible"); },    [&] { Call(*app_, "Quit"); },
        [&] { Get(*workbooks, "Count"); }, [&] { Call(*book, "save"); },
        [&] { Get(*cell, "Value"); },
    };
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "a call after Quit was answered";
        } catch (const AutomationError& e) {
            EXPECT_THAT(e.what(), HasSubstr("has quit"));
        }
    }
}

TEST_F(ApplicationTest, TwoInstancesShareNothing) {
    auto second = NewApp();
    Put(*app_, "Visible", Arg::ByVal(true));
    EXPECT_EQ(Get(*app_, "Visible"), Variant(true));
    EXPECT_EQ(Get(*second, "visible"), Variant(false));

    Open(*app_, u"report.xls");
    Open(*second, u"report.xls");
    Write(*app_, 1, 1, u"changed");
    EXPECT_EQ(ValueAt(*app_, 1, 1), Variant(u"changed"));
    EXPECT_EQ(ValueAt(*second, 1, 1), Variant(u"姓名"));

    Call(*AsObject(Get(*second, "WorkBooks"), "WorkBooks"), "Close");
    EXPECT_EQ(ValueAt(*app_, 1, 1), Variant(u"changed"));
    Call(*app_, "Quit");
    Open(*second, u"other.xls");
    EXPECT_EQ(ValueAt(*second, 1, 1), Variant(99.0));
}

// A Range handed out by Application.Cells is reused only once nobody holds it.
TEST_F(ApplicationTest, AHeldCellKeepsItsAddress) {
    Open(*app_, u"report.xls");
    auto a = Cell(*app_, 1, 1);
    auto b = Cell(*app_, 1, 2);
    EXPECT_EQ(Get(*a, "Value"), Variant(u"姓名"));
    EXPECT_EQ(Get(*b, "Value"), Variant(3.5));
    EXPECT_EQ(Get(*a, "Row"), Variant(std::int32_t{1}));
    EXPECT_EQ(Get(*b, "Column"), Variant(std::int32_t{2}));
}

TEST(SpreadsheetApplication, RegistersAsExcelApplication) {
    automation::ClassRegistry registry;
    RegisterSpreadsheetApplication(registry);
    auto first = registry.Create("excel.application");
    auto second = registry.Create("Excel.Application");
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    try {
        Call(*AsObject(Get(*first, "WorkBooks"), "WorkBooks"), "Open",
             {Arg::ByVal(u"/nonexistent/folder/book.xls")});
        ADD_FAILURE() << "a missing file opened";
    } catch (const AutomationError& e) {
        EXPECT_THAT(e.what(), HasSubstr("does not exist"));
    }
}

}  // namespace
}  // namespace spreadsheet
