// The Execute button: the merge settings as the controls hold them, the refusal without both
// worksheet selections, and whole runs through the window.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "WindowFixture.h"
#include "app/ProgressBar.h"
#include "app/WorksheetComboBox.h"
#include "automation/ClassRegistry.h"
#include "automation/Dispatch.h"
#include "automation/VariantConversion.h"
#include "merge/FakeSpreadsheet.h"
#include "merge/MergeJob.h"

namespace {

using automation::Arg;

void TypeInto(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
    }
}

class ExecuteTest : public WindowTest {
  protected:
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes) {
            EXPECT_EQ(box.icon, QMessageBox::Information);
            EXPECT_EQ(box.caption, QStringLiteral("提示"));
            texts.push_back(box.text.toStdString());
        }
        return texts;
    }
};

TEST_F(ExecuteTest, SettingsComeFromTheControlsAsTyped) {
    const std::pair<QLineEdit*, const char*> texts[] = {
        {window.Edit1, " /t/目标.xls "},
        {window.Edit2, "x2"},
        {window.Edit3, "3 "},
        {window.Edit4, "$4"},
        {window.Edit10, "10"},
        {window.Edit5, "+5"},
        {window.Edit6, "6"},
        {window.Edit7, "7"},
        {window.Edit8, "not read"},
        {window.Edit9, "9"},
    };
    for (const auto& [edit, text] : texts)
        edit->setText(QString::fromUtf8(text));
    window.CheckBox2->setChecked(true);
    QTest::keyClick(window.ComboBox1, Qt::Key_Down);
    TypeInto(window.ComboBox2, QStringLiteral("第4"));

    const merge::TMergeSettings s = window.CollectMergeSettings();
    EXPECT_EQ(s.TargetPath, " /t/目标.xls ");
    EXPECT_EQ(s.TargetSheetIndex, 0);
    EXPECT_EQ(s.TargetStartRowText, "x2");
    EXPECT_EQ(s.TargetFromColumnText, "3 ");
    EXPECT_EQ(s.TargetToColumnText, "$4");
    EXPECT_TRUE(s.SkipOccupiedRows);
    EXPECT_EQ(s.SkipColumnText, "10");
    EXPECT_EQ(s.SourceSheetIndex, 3);
    EXPECT_EQ(s.SourceFromRowText, "+5");
    EXPECT_EQ(s.SourceToRowText, "6");
    EXPECT_EQ(s.SourceFromColumnText, "7");
    EXPECT_FALSE(s.FilterNonEmptyRows);
    EXPECT_EQ(s.FilterColumnText, "9");
}

TEST_F(ExecuteTest, WithoutBothSelectionsOnlyAsksForThem) {
    fake::World world;  // counts any instance the job would start
    automation::ScopedRegistration server(merge::kProgIdSpreadsheet, world.Factory());
    SetEntries({"/s/a.xls"}, 0);
    window.ProgressBar1->setRange(0, 7);
    window.ProgressBar1->setValue(3);

    window.Button4->click();                          // neither selector has a selection
    TypeInto(window.ComboBox1, QStringLiteral("2"));  // reads like worksheet 2, selects nothing
    QTest::keyClick(window.ComboBox2, Qt::Key_Down);
    window.Button4->click();
    QTest::keyClick(window.ComboBox1, Qt::Key_Down);
    QTest::keyClick(window.ComboBox2, Qt::Key_Backspace);
    window.Button4->click();  // the source selector lost its selection

    EXPECT_EQ(Messages(), std::vector<std::string>(3, merge::kMessageSelectSheets));
    EXPECT_EQ(world.created, 0);
    EXPECT_EQ(Entries(), QStringList{"/s/a.xls"});
    EXPECT_EQ(window.ProgressBar1->maximum(), 7);
    EXPECT_EQ(window.ProgressBar1->value(), 3);
}

// The whole path from the controls to the job and back, against a recording spreadsheet server.
TEST_F(ExecuteTest, RunCopiesRowsAdvancesTheBarAndEmptiesTheList) {
    fake::World world;
    world.files["/t/target.xls"].sheets.resize(2);
    for (const char* path : {"/s/one.xls", "/s/two.xls"}) {
        auto& sheet = world.files[path].sheets.emplace_back();
        sheet[{1, 1}] = fake::World::Text(path);
    }
    automation::ScopedRegistration server(merge::kProgIdSpreadsheet, world.Factory());
    window.Edit1->setText(QStringLiteral("/t/target.xls"));
    TypeInto(window.ComboBox1, QStringLiteral("第2"));
    TypeInto(window.ComboBox2, QStringLiteral("第1"));
    window.Edit2->setText(QStringLiteral("5"));
    SetEntries({"/s/one.xls", "/s/two.xls"}, 1);

    window.Button4->click();

    EXPECT_EQ(Messages(), std::vector<std::string>{merge::kMessageDone});
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(window.ProgressBar1->maximum(), 2);
    EXPECT_EQ(window.ProgressBar1->value(), 2);
    for (const auto& [row, path] : {std::pair{5, "/s/one.xls"}, std::pair{6, "/s/two.xls"}}) {
        const automation::Variant* cell = world.SavedCell("/t/target.xls", 1, row, 1);
        ASSERT_NE(cell, nullptr) << row;
        EXPECT_EQ(*cell, fake::World::Text(path));
    }
}

TEST_F(ExecuteTest, EmptyRunLeavesAnEmptyBar) {
    fake::World world;
    world.files["/t/target.xls"].sheets.resize(1);
    automation::ScopedRegistration server(merge::kProgIdSpreadsheet, world.Factory());
    window.Edit1->setText(QStringLiteral("/t/target.xls"));
    QTest::keyClick(window.ComboBox1, Qt::Key_Down);
    QTest::keyClick(window.ComboBox2, Qt::Key_Down);
    window.Button4->click();
    EXPECT_EQ(Messages(), std::vector<std::string>{merge::kMessageDone});
    EXPECT_EQ(window.ProgressBar1->maximum(), 0);
    EXPECT_EQ(window.ProgressBar1->value(), 0);
    EXPECT_FALSE(window.ProgressBar1->grab().isNull());  // paints without the busy animation
}

// Real workbooks for the embedded spreadsheet engine: .xls made by Perl's Spreadsheet::WriteExcel,
// .xlsx by Python's openpyxl. Each has two worksheets; the rows go into the first, one text per
// cell, tab-separated on standard input.
bool MakeWorkbook(const QString& format, const QString& path, const QList<QStringList>& rows) {
    QProcess maker;
    if (format == QLatin1String("xls")) {
        maker.start(
            QStringLiteral("perl"),
            {QStringLiteral("-e"),
             QStringLiteral("use strict; use Spreadsheet::WriteExcel; binmode STDIN, ':utf8';"
                            "my $b = Spreadsheet::WriteExcel->new($ARGV[0]) or die;"
                            "my $s = $b->add_worksheet(); $b->add_worksheet(); my $r = 0;"
                            "while (my $line = <STDIN>) { chomp $line; my $c = 0;"
                            "  for my $v (split /\\t/, $line) { $s->write_string($r, $c++, $v); }"
                            "  $r++; }"
                            "$b->close() or die;"),
             path});
    } else {
        maker.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"),
                     QStringLiteral("import sys, openpyxl\n"
                                    "b = openpyxl.Workbook(); s = b.active; b.create_sheet()\n"
                                    "for r, line in enumerate(sys.stdin.read().splitlines(), 1):\n"
                                    "    for c, v in enumerate(line.split('\\t'), 1):\n"
                                    "        if v: s.cell(r, c, v)\n"
                                    "b.save(sys.argv[1])\n"),
                     path});
    }
    if (!maker.waitForStarted())
        return false;
    for (const QStringList& row : rows)
        maker.write((row.join(u'\t') + u'\n').toUtf8());
    maker.closeWriteChannel();
    return maker.waitForFinished() && maker.exitStatus() == QProcess::NormalExit &&
           maker.exitCode() == 0;
}

std::string CellText(automation::DispatchObject& app, int row, int column) {
    auto sheet = automation::AsObject(automation::Get(app, "WorkSheets", {Arg::ByVal(1)}), "sheet");
    auto cell = automation::AsObject(
        automation::Get(*sheet, "Cells", {Arg::ByVal(row), Arg::ByVal(column)}), "cell");
    return automation::VariantToString(automation::Get(*cell, "Value"));
}

// Why the registered application refuses to open the workbook; empty when it opens it.
std::string OpenRefusal(const QString& path) {
    try {
        auto app = automation::CreateObject(merge::kProgIdSpreadsheet);
        auto books = automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks");
        automation::Call(*books, "Open",
                         {Arg::ByVal(automation::Variant::FromUtf8(path.toStdString()))});
        automation::Call(*app, "Quit");
        return {};
    } catch (const std::exception& error) {
        return error.what();
    }
}

class RealWorkbookTest : public ExecuteTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RealWorkbookTest, RunThroughTheEmbeddedEngine) {
    if (!automation::ClassRegistry::Global().IsRegistered(merge::kProgIdSpreadsheet))
        GTEST_SKIP() << "no spreadsheet application is registered as Excel.Application";
    const QString format = QString::fromLatin1(GetParam());
    QTemporaryDir folder;
    const auto file = [&](const QString& name) {
        return QDir(folder.path()).filePath(name + u'.' + format);
    };
    const QString target = file(QStringLiteral("目标"));
    const QString one = file(QStringLiteral("一月"));
    const QString two = file(QStringLiteral("二月"));
    if (!MakeWorkbook(format, target, {{"名称", "数量"}}) ||
        !MakeWorkbook(format, one, {{"苹果", "3"}, {"梨", "4"}}) ||
        !MakeWorkbook(format, two, {{"桃", "5"}, {"", ""}}))
        GTEST_SKIP() << "cannot make sample ." << GetParam() << " workbooks";
    if (const std::string refusal = OpenRefusal(target); !refusal.empty())
        GTEST_SKIP() << "the embedded engine cannot open ." << GetParam()
                     << " workbooks in this build: " << refusal;

    window.Edit1->setText(target);
    QTest::keyClick(window.ComboBox1, Qt::Key_Down);
    QTest::keyClick(window.ComboBox2, Qt::Key_Down);
    window.Edit6->setText(QStringLiteral("2"));
    window.Edit4->setText(QStringLiteral("2"));
    window.CheckBox1->setChecked(true);  // the empty second row of 二月 is left out
    SetEntries({one, two}, -1);

    window.Button4->click();

    EXPECT_EQ(Messages(), std::vector<std::string>{merge::kMessageDone});
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(window.ProgressBar1->maximum(), 2);
    EXPECT_EQ(window.ProgressBar1->value(), 2);

    auto app = automation::CreateObject(merge::kProgIdSpreadsheet);
    auto books = automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks");
    automation::Call(*books, "Open",
                     {Arg::ByVal(automation::Variant::FromUtf8(target.toStdString()))});
    const std::pair<int, std::vector<std::string>> expected[] = {{1, {"名称", "数量"}},
                                                                 {2, {"苹果", "3"}},
                                                                 {3, {"梨", "4"}},
                                                                 {4, {"桃", "5"}},
                                                                 {5, {"", ""}}};
    for (const auto& [row, values] : expected)
        for (int column = 1; column <= 2; ++column)
            EXPECT_EQ(CellText(*app, row, column), values[column - 1]) << row << "," << column;
    automation::Call(*app, "Quit");
}

INSTANTIATE_TEST_SUITE_P(Formats, RealWorkbookTest, ::testing::Values("xls", "xlsx"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
