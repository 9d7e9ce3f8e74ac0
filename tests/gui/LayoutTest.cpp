// The window as it opens: every control's place, text and hint, the tab cycle, the defaults,
// keys that must press nothing, and how the window behaves when it is resized.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <limits>

#include "WindowFixture.h"
#include "sources/FileDropPan.h"

namespace {

struct ControlRow {
    const char* name;
    const char* parent;
    QRect place;
    const char* text;  // caption, title or initial text
    const char* hint;
};

// Places are relative to the parent; ClientArea is the window's client area.
const ControlRow kControls[] = {
    {"GroupBox1", "ClientArea", {15, 11, 650, 179}, "合并文件设置", ""},
    {"GroupBox2", "ClientArea", {19, 199, 647, 298}, "提取数据的文件", ""},
    {"Label15", "ClientArea", {43, 502, 128, 16}, "excelmerge出品", ""},
    {"Label16", "ClientArea", {451, 503, 131, 16}, "下载更多免费软件", ""},
    {"Label1", "GroupBox1", {17, 27, 80, 16}, "合并文件名", ""},
    {"Edit1", "GroupBox1", {104, 24, 465, 24}, "", "要合并的文件名"},
    {"Button1", "GroupBox1", {578, 20, 30, 32}, "...", "选择要合并的文件名"},
    {"Label2", "GroupBox1", {24, 70, 96, 16}, "合并到工作表", ""},
    {"ComboBox1", "GroupBox1", {130, 66, 103, 24}, "", "合并到哪张工作表"},
    {"Label3", "GroupBox1", {254, 70, 128, 16}, "合并数据开始行数", ""},
    {"Edit2", "GroupBox1", {385, 66, 44, 24}, "2", ""},
    {"CheckBox2",
     "GroupBox1",
     {434, 63, 148, 28},
     "指定列不为空跳过",
     "如果有数据，在后面找空行插入"},
    {"Edit10", "GroupBox1", {583, 63, 50, 24}, "1", ""},
    {"Label4", "GroupBox1", {19, 129, 80, 16}, "合并数据从", ""},
    {"Edit3", "GroupBox1", {128, 125, 103, 24}, "1", ""},
    {"Label5", "GroupBox1", {246, 129, 16, 16}, "到", ""},
    {"Edit4", "GroupBox1", {270, 125, 109, 24}, "1", ""},
    {"Label8", "GroupBox1", {384, 129, 16, 16}, "列", ""},
    {"AIFileDropPan1", "GroupBox2", {2, 18, 643, 278}, "", ""},
    {"ListBox1", "AIFileDropPan1", {16, 8, 617, 97}, "", ""},
    {"Label6", "AIFileDropPan1", {24, 120, 112, 16}, "要读取的工作表", ""},
    {"ComboBox2", "AIFileDropPan1", {146, 116, 103, 24}, "", ""},
    {"Label7", "AIFileDropPan1", {280, 120, 48, 16}, "提取从", ""},
    {"Edit5", "AIFileDropPan1", {336, 116, 41, 24}, "1", ""},
    {"Label9", "AIFileDropPan1", {392, 120, 16, 16}, "到", ""},
    {"Edit6", "AIFileDropPan1", {416, 116, 41, 24}, "1", ""},
    {"Label10", "AIFileDropPan1", {472, 120, 16, 16}, "行", ""},
    {"Button2", "AIFileDropPan1", {496, 112, 33, 33}, "+", "增加文件"},
    {"Button3", "AIFileDropPan1", {530, 112, 33, 33}, "-", "删除选中文件"},
    {"Button5", "AIFileDropPan1", {565, 112, 33, 33}, "↑", "上移"},
    {"Button6", "AIFileDropPan1", {600, 112, 33, 33}, "↓", "下移"},
    {"Label11", "AIFileDropPan1", {24, 160, 16, 16}, "从", ""},
    {"Edit7", "AIFileDropPan1", {48, 156, 41, 24}, "1", ""},
    {"Label12", "AIFileDropPan1", {104, 160, 16, 16}, "到", ""},
    {"Edit8", "AIFileDropPan1", {128, 156, 57, 24}, "1", ""},
    {"Label13", "AIFileDropPan1", {192, 160, 16, 16}, "列", ""},
    {"CheckBox1",
     "AIFileDropPan1",
     {267, 154, 177, 33},
     "指定列的数据不为空",
     "如果该列没有数据就不合并"},
    {"Edit9", "AIFileDropPan1", {443, 158, 51, 24}, "1", ""},
    {"Label14", "AIFileDropPan1", {24, 201, 176, 16}, "搜索含有关键词的文件名", ""},
    {"Edit11", "AIFileDropPan1", {227, 199, 227, 24}, "", ""},
    {"Button7", "AIFileDropPan1", {469, 199, 70, 33}, "搜索", "搜索符合要求的文件"},
    {"ProgressBar1", "AIFileDropPan1", {24, 236, 377, 25}, "", ""},
    {"Button4", "AIFileDropPan1", {467, 239, 96, 31}, "执行任务", "开始执行合并"},
};

const char* const kTabCycle[] = {
    "Edit1",    "Button1",   "ComboBox1", "Edit2",   "Edit3",   "Edit4",  "CheckBox2", "Edit10",
    "ListBox1", "ComboBox2", "Edit5",     "Edit6",   "Edit7",   "Edit8",  "CheckBox1", "Edit9",
    "Button2",  "Button3",   "Button4",   "Button5", "Button6", "Edit11", "Button7",
};

QString TextOf(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

// The named control that holds the focus (the focus may rest on a part of it).
QString FocusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        for (const char* name : kTabCycle)
            if (w->objectName() == QLatin1String(name))
                return w->objectName();
    }
    return QStringLiteral("<none>");
}

using LayoutTest = WindowTest;

TEST_F(LayoutTest, EveryControlHasItsPlaceTextAndHint) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* widget = Find<QWidget>(row.name);
        if (widget == nullptr)
            continue;
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(row.parent));
        EXPECT_EQ(widget->geometry(), row.place);
        EXPECT_EQ(TextOf(widget), QString::fromUtf8(row.text));
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.hint));
        EXPECT_TRUE(widget->isVisible());
        EXPECT_TRUE(widget->isEnabled());
    }
}

// Every character of every caption has a glyph in the window's font or in the font the font
// system substitutes for it: nothing shows as a box.
TEST_F(LayoutTest, EveryCaptionCharacterHasAGlyph) {
    for (const ControlRow& row : kControls) {
        const QString text = QString::fromUtf8(row.text) + QString::fromUtf8(row.hint);
        if (text.isEmpty())
            continue;
        SCOPED_TRACE(row.name);
        QTextLayout layout(text, window.font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns())
            for (const quint32 glyph : run.glyphIndexes())
                EXPECT_NE(glyph, 0u) << run.rawFont().familyName().toStdString();
    }
}

TEST_F(LayoutTest, WindowOpensWithItsDefaults) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("excel合并工具"));
    EXPECT_EQ(window.size(), QSize(666, 519));
    EXPECT_EQ(window.pos(), QPoint(192, 114));
    EXPECT_EQ(window.font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(window.font().pixelSize(), 16);
    EXPECT_FALSE(window.font().bold());

    for (const char* name : {"ComboBox1", "ComboBox2"}) {
        SCOPED_TRACE(name);
        auto* combo = Find<QComboBox>(name);
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(combo->currentIndex(), -1);
        EXPECT_EQ(combo->currentText(), QString());
        EXPECT_EQ(combo->maxVisibleItems(), 8);
        ASSERT_EQ(combo->count(), 10);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(combo->itemText(i), QStringLiteral("第%1个工作表").arg(i + 1));
    }
    // Edit boxes take text of any length (Qt's default stops at 32767 characters).
    const auto edits = window.findChildren<QLineEdit*>(QRegularExpression("^Edit\\d+$"));
    EXPECT_EQ(edits.size(), 11);
    for (QLineEdit* edit : edits)
        EXPECT_EQ(edit->maxLength(), std::numeric_limits<int>::max())
            << edit->objectName().toStdString();
    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_EQ(Selected(), -1);
    EXPECT_EQ(window.ListBox1->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(window.ProgressBar1->minimum(), 0);
    EXPECT_EQ(window.ProgressBar1->maximum(), 100);
    EXPECT_EQ(window.ProgressBar1->value(), 0);
    EXPECT_EQ(window.ProgressBar1->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(window.CheckBox1->isChecked());
    EXPECT_FALSE(window.CheckBox2->isChecked());
    EXPECT_TRUE(window.AIFileDropPan1->AcceptFile());

    EXPECT_EQ(window.Label15->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_EQ(window.Label16->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(window.Label16->font().underline());
    EXPECT_EQ(window.Label16->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(LayoutTest, FocusStartsInEdit1AndTabWalksTheCycle) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(FocusedControl(), QStringLiteral("Edit1"));

    QStringList walked{FocusedControl()};
    for (std::size_t i = 0; i < std::size(kTabCycle); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked.append(FocusedControl());
    }
    QStringList expected;
    for (const char* name : kTabCycle)
        expected.append(QLatin1String(name));
    expected.append(QStringLiteral("Edit1"));
    EXPECT_EQ(walked, expected);
}

TEST_F(LayoutTest, TabSelectsTheWholeTextOfAnEditBox) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Edit1->setText(QStringLiteral("/data/target.xls"));
    QTest::keyClick(window.Edit1, Qt::Key_Tab);        // to Button1
    QTest::keyClick(window.Button1, Qt::Key_Backtab);  // back to Edit1
    EXPECT_EQ(window.Edit1->selectedText(), QStringLiteral("/data/target.xls"));
}

TEST_F(LayoutTest, EnterAndEscapePressNoButton) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    SetEntries({"a.xls"}, 0);
    for (const char* name : kTabCycle) {
        SCOPED_TRACE(name);
        auto* widget = Find<QWidget>(name);
        widget->setFocus(Qt::TabFocusReason);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(QApplication::focusWidget(), key);
    }
    EXPECT_TRUE(boxes.empty());           // Execute would have asked for the worksheets
    EXPECT_TRUE(dialogOpenedAt.empty());  // "..." and "+" would have opened the dialog
    EXPECT_EQ(Entries(), QStringList{"a.xls"});
    EXPECT_TRUE(window.isVisible());
}

TEST_F(LayoutTest, SmallerWindowScrollsLargerOneMovesNothing) {
    auto* scroll = Find<QScrollArea>("ScrollBox");
    ASSERT_NE(scroll, nullptr);
    const QPoint designed = window.Button4->mapTo(&window, QPoint(0, 0));

    window.resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(window.Button4->mapTo(&window, QPoint(0, 0)), designed);
    EXPECT_EQ(window.Button4->size(), QSize(96, 31));
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());

    window.resize(400, 300);
    QApplication::processEvents();
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_EQ(window.Button4->size(), QSize(96, 31));
}

}  // namespace
