// The worksheet selectors: a selection only from the list, the arrow keys, or typing the
// beginning of an item; every other edit leaves none.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <vector>

#include "WindowFixture.h"
#include "app/WorksheetComboBox.h"

namespace {

struct Step {
    enum Kind { Type, Press, Paste, LoseFocus, Compose } kind;
    QString text;
    Qt::Key key = Qt::Key_unknown;
};

Step Type(const char* utf8) {
    return {Step::Type, QString::fromUtf8(utf8)};
}
Step Press(Qt::Key key) {
    return {Step::Press, {}, key};
}
Step Paste(const char* utf8) {
    return {Step::Paste, QString::fromUtf8(utf8)};
}
Step LoseFocus() {
    return {Step::LoseFocus, {}};
}
// Text that an input method commits at once.
Step Compose(const char* utf8) {
    return {Step::Compose, QString::fromUtf8(utf8)};
}

// Typing characters outside Latin-1 needs key events that carry the text itself.
void TypeText(TWorksheetComboBox& combo, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&combo, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&combo, &release);
    }
}

void Apply(TWorksheetComboBox& combo, const Step& step) {
    switch (step.kind) {
        case Step::Type:
            TypeText(combo, step.text);
            break;
        case Step::Press:
            QTest::keyClick(&combo, step.key);
            break;
        case Step::Paste:
            QApplication::clipboard()->setText(step.text);
            QTest::keyClick(&combo, Qt::Key_V, Qt::ControlModifier);
            break;
        case Step::Compose: {
            QInputMethodEvent commit;
            commit.setCommitString(step.text);
            QApplication::sendEvent(&combo, &commit);
            break;
        }
        case Step::LoseFocus: {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(&combo, &out);
            break;
        }
    }
}

struct SelectorCase {
    const char* name;
    std::vector<Step> steps;
    int index;
    const char* text;
    const char* highlighted;
    std::vector<const char*> items = {};  // empty: the ten worksheet items
};

void PrintTo(const SelectorCase& c, std::ostream* os) {
    *os << c.name;
}

class SelectorTest : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(SelectorTest, SelectionFollowsTheRules) {
    const SelectorCase& c = GetParam();
    TWorksheetComboBox combo;
    if (c.items.empty()) {
        for (int i = 1; i <= 10; ++i)
            combo.addItem(QStringLiteral("第%1个工作表").arg(i));
    } else {
        for (const char* item : c.items)
            combo.addItem(QString::fromUtf8(item));
    }
    combo.setCurrentIndex(-1);
    combo.show();
    for (const Step& step : c.steps)
        Apply(combo, step);
    EXPECT_EQ(combo.currentIndex(), c.index);
    EXPECT_EQ(combo.lineEdit()->text(), QString::fromUtf8(c.text));
    EXPECT_EQ(combo.lineEdit()->selectedText(), QString::fromUtf8(c.highlighted));
}

const SelectorCase kSelectorCases[] = {
    {"DigitMatchesNoItem", {Type("2")}, -1, "2", ""},
    {"BeginningCompletesFirstItem", {Type("第1")}, 0, "第1个工作表", "个工作表"},
    {"NextCharacterReplacesTheRest", {Type("第10")}, 9, "第10个工作表", "个工作表"},
    {"WholeItemTyped", {Type("第3个工作表")}, 2, "第3个工作表", ""},
    {"CharacterThatFitsNoItem", {Type("第1x")}, -1, "第1x", ""},
    {"BackspaceRemovesHighlightAndSelection",
     {Type("第1"), Press(Qt::Key_Backspace)},
     -1,
     "第1",
     ""},
    {"BackspaceAfterArrow",
     {Press(Qt::Key_Down), Press(Qt::Key_End), Press(Qt::Key_Backspace)},
     -1,
     "第1个工作",
     ""},
    {"DeleteOfHighlightedRest", {Type("第2"), Press(Qt::Key_Delete)}, -1, "第2", ""},
    {"DownFromNothingSelectsFirst", {Press(Qt::Key_Down)}, 0, "第1个工作表", "第1个工作表"},
    {"DownSteps",
     {Press(Qt::Key_Down), Press(Qt::Key_Down), Press(Qt::Key_Down)},
     2,
     "第3个工作表",
     "第3个工作表"},
    {"UpStopsAtTop",
     {Press(Qt::Key_Down), Press(Qt::Key_Up), Press(Qt::Key_Up)},
     0,
     "第1个工作表",
     "第1个工作表"},
    {"DownStopsAtBottom", std::vector<Step>(12, Press(Qt::Key_Down)), 9, "第10个工作表",
     "第10个工作表"},
    {"ArrowsAfterTypedText", {Type("xy"), Press(Qt::Key_Down)}, 0, "第1个工作表", "第1个工作表"},
    {"PastedItemTextIsNoSelection", {Paste("第3个工作表")}, -1, "第3个工作表", ""},
    {"EnterDoesNotMatchTheText",
     {Paste("第3个工作表"), Press(Qt::Key_Return)},
     -1,
     "第3个工作表",
     ""},
    {"LeavingDoesNotMatchTheText", {Paste("第4个工作表"), LoseFocus()}, -1, "第4个工作表", ""},
    {"LeavingKeepsACompletedItem", {Type("第5"), LoseFocus()}, 4, "第5个工作表", ""},
    {"ComposedTextCompletes", {Compose("第1")}, 0, "第1个工作表", "个工作表"},
    {"ComposedTextThatFitsNoItem", {Type("第2"), Compose("页")}, -1, "第2页", ""},
    {"CompletionIgnoresLetterCase", {Type("b")}, 1, "beta", "eta", {"Alpha", "Beta"}},
    {"FirstOfSeveralMatches", {Type("a")}, 0, "alpha", "lpha", {"Alpha", "Alps"}},
};

INSTANTIATE_TEST_SUITE_P(Keys, SelectorTest, ::testing::ValuesIn(kSelectorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Choosing in the drop-down list selects; the window's selectors are the ones the merge reads.
using SelectorInWindowTest = WindowTest;

TEST_F(SelectorInWindowTest, ChoosingFromTheListSelects) {
    TWorksheetComboBox* combo = window.ComboBox2;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QModelIndex item = view->model()->index(6, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    EXPECT_EQ(combo->currentIndex(), 6);
    EXPECT_EQ(combo->currentText(), QStringLiteral("第7个工作表"));
    EXPECT_EQ(window.CollectMergeSettings().SourceSheetIndex, 6);
}

}  // namespace
