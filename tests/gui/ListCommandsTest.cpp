// The list commands on the buttons beside the source list, and the shared open-file dialog.
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include "WindowFixture.h"

namespace {

struct ListCase {
    const char* name;
    QStringList entries;
    int selected;
    const char* button;
    QStringList after;
    int selectedAfter;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class ListCommandsTest : public WindowTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListCommandsTest, CommandChangesListAndSelection) {
    const ListCase& c = GetParam();
    SetEntries(c.entries, c.selected);
    Find<QPushButton>(c.button)->click();
    EXPECT_EQ(Entries(), c.after);
    EXPECT_EQ(Selected(), c.selectedAfter);
    EXPECT_TRUE(boxes.empty());
}

const QStringList kABC{"A", "B", "C"};

const ListCase kListCases[] = {
    {"UpMovesSelected", kABC, 1, "Button5", {"B", "A", "C"}, 0},
    {"DownMovesSelected", kABC, 1, "Button6", {"A", "C", "B"}, 2},
    {"UpAtTopDoesNothing", kABC, 0, "Button5", kABC, 0},
    {"DownAtBottomDoesNothing", kABC, 2, "Button6", kABC, 2},
    {"UpWithoutSelection", kABC, -1, "Button5", kABC, -1},
    {"DownWithoutSelection", kABC, -1, "Button6", kABC, -1},
    {"RemoveWithoutSelection", kABC, -1, "Button3", kABC, -1},
    {"UpOnEmptyList", {}, -1, "Button5", {}, -1},
    {"DownOnEmptyList", {}, -1, "Button6", {}, -1},
    {"RemoveOnEmptyList", {}, -1, "Button3", {}, -1},
    {"UpWithOneEntry", {"A"}, 0, "Button5", {"A"}, 0},
    {"DownWithOneEntry", {"A"}, 0, "Button6", {"A"}, 0},
    {"RemoveSelected", kABC, 1, "Button3", {"A", "C"}, -1},
    {"RemoveLast", kABC, 2, "Button3", {"A", "B"}, -1},
    {"UpAmongDuplicates", {"A", "B", "A"}, 2, "Button5", {"A", "A", "B"}, 1},
};

INSTANTIATE_TEST_SUITE_P(Buttons, ListCommandsTest, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

using ListSequenceTest = WindowTest;

TEST_F(ListSequenceTest, RepeatedMovesCarryAnEntryToTheEndAndRemoveAgainDoesNothing) {
    SetEntries({"A", "B", "C", "D"}, 0);
    for (int i = 0; i < 5; ++i)
        window.Button6->click();
    EXPECT_EQ(Entries(), QStringList({"B", "C", "D", "A"}));
    EXPECT_EQ(Selected(), 3);
    window.Button3->click();
    window.Button3->click();
    EXPECT_EQ(Entries(), QStringList({"B", "C", "D"}));
    EXPECT_EQ(Selected(), -1);
}

// The dialog answers with real paths in a temporary folder; a typed name need not exist.
class OpenDialogTest : public WindowTest {
  protected:
    QString Path(const char* name) const { return QDir(folder.path()).filePath(name); }
    QTemporaryDir folder;
};

TEST_F(OpenDialogTest, AddAppendsLastAndKeepsSelection) {
    SetEntries({"A", "B"}, 0);
    dialogAnswers = {Path("new.xls"), Path("new.xls")};
    window.Button2->click();
    window.Button2->click();
    EXPECT_EQ(Entries(), QStringList({"A", "B", Path("new.xls"), Path("new.xls")}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenDialogTest, CancelChangesNothing) {
    SetEntries({"A", "B"}, 1);
    window.Edit1->setText(QStringLiteral("/keep/me.xls"));
    dialogAnswers = {std::nullopt, std::nullopt};
    window.Button2->click();
    window.Button1->click();
    EXPECT_EQ(Entries(), QStringList({"A", "B"}));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("/keep/me.xls"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenDialogTest, ChooserTakesATypedNameOfAMissingFile) {
    dialogAnswers = {Path("not-there.xls")};
    window.Button1->click();
    EXPECT_EQ(window.Edit1->text(), Path("not-there.xls"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenDialogTest, EachButtonReopensWhereTheOtherEnded) {
    dialogAnswers = {Path("target.xls"), std::nullopt, Path("source.xls"), std::nullopt};
    window.Button1->click();  // choose the target
    window.Button2->click();  // opens at the target; cancelled
    window.Button2->click();  // opens at the target again; a source is added
    window.Button1->click();  // opens at that source
    ASSERT_EQ(dialogOpenedAt.size(), 4);
    EXPECT_EQ(dialogOpenedAt[1], Path("target.xls"));
    EXPECT_EQ(dialogOpenedAt[2], Path("target.xls"));
    EXPECT_EQ(dialogOpenedAt[3], Path("source.xls"));
    EXPECT_EQ(window.Edit1->text(), Path("target.xls"));
}

TEST_F(OpenDialogTest, AddConfirmedUnchangedAddsTheTargetItself) {
    dialogAnswers = {Path("target.xls")};
    window.Button1->click();
    TOpenDialog::SetModalRunner([](QFileDialog&) { return int(QDialog::Accepted); });
    window.Button2->click();
    EXPECT_EQ(Entries(), QStringList{Path("target.xls")});
}

TEST_F(OpenDialogTest, DialogOffersXlsFilesOneAtATime) {
    QFileDialog* seen = nullptr;
    TOpenDialog::SetModalRunner([&](QFileDialog& dialog) {
        seen = &dialog;
        return int(QDialog::Rejected);
    });
    window.Button1->click();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->nameFilters(), QStringList{"*.xls"});
    EXPECT_EQ(seen->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(seen->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(seen->defaultSuffix(), QString());
    EXPECT_EQ(seen->parentWidget(), nullptr);  // owned by the application, not the window
}

}  // namespace
