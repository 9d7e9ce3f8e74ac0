#include "app/Unit_main.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <limits>

#include "app/Application.h"
#include "app/ClickLabel.h"
#include "app/OpenDialog.h"
#include "app/ProgressBar.h"
#include "app/WorksheetComboBox.h"
#include "merge/MergeJob.h"
#include "sources/FileDropPan.h"
#include "sources/SourceListBox.h"
#include "util/gui/OpenDocument.h"
#include "util/gui/ShowInfo.h"

#ifdef EXCELMERGE_HAVE_FOLDER_SEARCH
#include "util/gui/SelectFolder.h"
#include "util/search/FindFiles.h"
#endif

TForm_main* Form_main = nullptr;

namespace {

constexpr int kClientWidth = 666;
constexpr int kClientHeight = 519;
constexpr int kRowHeight = 16;

// Rows of the list box and of the selectors' lists are 16 pixels high.
class FixedRowHeightDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kRowHeight);
        return size;
    }
};

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect rect, const char* text) {
    auto* label = Place(new QLabel(QString::fromUtf8(text), parent), name, rect.x(), rect.y(),
                        rect.width(), rect.height());
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect rect, const char* text,
                    const char* hint = nullptr) {
    auto* edit = Place(new QLineEdit(QString::fromUtf8(text), parent), name, rect.x(), rect.y(),
                       rect.width(), rect.height());
    edit->setMaxLength(std::numeric_limits<int>::max());
    if (hint != nullptr)
        edit->setToolTip(QString::fromUtf8(hint));
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect rect, const char* text,
                        const char* hint) {
    auto* button = Place(new QPushButton(QString::fromUtf8(text), parent), name, rect.x(), rect.y(),
                         rect.width(), rect.height());
    button->setToolTip(QString::fromUtf8(hint));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, QRect rect, const char* text,
                        const char* hint) {
    auto* box = Place(new QCheckBox(QString::fromUtf8(text), parent), name, rect.x(), rect.y(),
                      rect.width(), rect.height());
    box->setToolTip(QString::fromUtf8(hint));
    return box;
}

TWorksheetComboBox* MakeWorksheetSelector(QWidget* parent, const char* name, QRect rect,
                                          const char* hint = nullptr) {
    auto* combo = Place(new TWorksheetComboBox(parent), name, rect.x(), rect.y(), rect.width(),
                        rect.height());
    for (int sheet = 1; sheet <= 10; ++sheet)
        combo->addItem(QStringLiteral("第%1个工作表").arg(sheet));
    combo->setCurrentIndex(-1);
    combo->setItemDelegate(new FixedRowHeightDelegate(combo));
    if (hint != nullptr)
        combo->setToolTip(QString::fromUtf8(hint));
    return combo;
}

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, QRect rect, const char* text) {
    auto* box = Place(new QGroupBox(QString::fromUtf8(text), parent), name, rect.x(), rect.y(),
                      rect.width(), rect.height());
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

}  // namespace

TForm_main::TForm_main(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form_main"));
    setWindowTitle(QStringLiteral("excel合并工具"));
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    setFont(font);

    CreateControls();
    BindEvents();
    SetTabOrder();

    move(192, 114);
    resize(kClientWidth, kClientHeight);
    Edit1->setFocus(Qt::OtherFocusReason);
    Form_main = this;
}

TForm_main::~TForm_main() {
    if (Form_main == this)
        Form_main = nullptr;
}

void TForm_main::CreateControls() {
    // The controls stand at fixed places on a client area of fixed size: a smaller window
    // scrolls it, a larger one shows more background and moves nothing.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setFocusPolicy(Qt::NoFocus);
    ScrollBox->setWidgetResizable(false);
    ScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(ScrollBox);
    ClientArea = new QWidget;
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setFixedSize(kClientWidth, kClientHeight);
    ScrollBox->setWidget(ClientArea);

    QWidget* client = ClientArea;
    GroupBox1 = MakeGroupBox(client, "GroupBox1", {15, 11, 650, 179}, "合并文件设置");
    GroupBox2 = MakeGroupBox(client, "GroupBox2", {19, 199, 647, 298}, "提取数据的文件");
    Label15 = MakeLabel(client, "Label15", {43, 502, 128, 16}, "excelmerge出品");
    Label15->setStyleSheet(QStringLiteral("color: rgb(128, 0, 128);"));
    Label16 = Place(new TClickLabel(QStringLiteral("下载更多免费软件"), client), "Label16", 451,
                    503, 131, 16);
    Label16->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255); text-decoration: underline;"));
    Label16->setCursor(Qt::PointingHandCursor);
    Label16->setFocusPolicy(Qt::NoFocus);

    QWidget* target = GroupBox1;
    Label1 = MakeLabel(target, "Label1", {17, 27, 80, 16}, "合并文件名");
    Edit1 = MakeEdit(target, "Edit1", {104, 24, 465, 24}, "", "要合并的文件名");
    Button1 = MakeButton(target, "Button1", {578, 20, 30, 32}, "...", "选择要合并的文件名");
    Label2 = MakeLabel(target, "Label2", {24, 70, 96, 16}, "合并到工作表");
    ComboBox1 = MakeWorksheetSelector(target, "ComboBox1", {130, 66, 103, 24}, "合并到哪张工作表");
    Label3 = MakeLabel(target, "Label3", {254, 70, 128, 16}, "合并数据开始行数");
    Edit2 = MakeEdit(target, "Edit2", {385, 66, 44, 24}, "2");
    CheckBox2 = MakeCheckBox(target, "CheckBox2", {434, 63, 148, 28}, "指定列不为空跳过",
                             "如果有数据，在后面找空行插入");
    Edit10 = MakeEdit(target, "Edit10", {583, 63, 50, 24}, "1");
    Label4 = MakeLabel(target, "Label4", {19, 129, 80, 16}, "合并数据从");
    Edit3 = MakeEdit(target, "Edit3", {128, 125, 103, 24}, "1");
    Label5 = MakeLabel(target, "Label5", {246, 129, 16, 16}, "到");
    Edit4 = MakeEdit(target, "Edit4", {270, 125, 109, 24}, "1");
    Label8 = MakeLabel(target, "Label8", {384, 129, 16, 16}, "列");

    AIFileDropPan1 = Place(new TAIFileDropPan(GroupBox2), "AIFileDropPan1", 2, 18, 643, 278);
    // Registered once the panel stands in its group.
    AIFileDropPan1->SetAcceptFile(true);

    QWidget* source = AIFileDropPan1;
    ListBox1 = Place(new QListWidget(source), "ListBox1", 16, 8, 617, 97);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(new FixedRowHeightDelegate(ListBox1));
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBox1->setTextElideMode(Qt::ElideNone);
    ListBox1->setDragDropMode(QAbstractItemView::NoDragDrop);
    Label6 = MakeLabel(source, "Label6", {24, 120, 112, 16}, "要读取的工作表");
    ComboBox2 = MakeWorksheetSelector(source, "ComboBox2", {146, 116, 103, 24});
    Label7 = MakeLabel(source, "Label7", {280, 120, 48, 16}, "提取从");
    Edit5 = MakeEdit(source, "Edit5", {336, 116, 41, 24}, "1");
    Label9 = MakeLabel(source, "Label9", {392, 120, 16, 16}, "到");
    Edit6 = MakeEdit(source, "Edit6", {416, 116, 41, 24}, "1");
    Label10 = MakeLabel(source, "Label10", {472, 120, 16, 16}, "行");
    Button2 = MakeButton(source, "Button2", {496, 112, 33, 33}, "+", "增加文件");
    Button3 = MakeButton(source, "Button3", {530, 112, 33, 33}, "-", "删除选中文件");
    Button5 = MakeButton(source, "Button5", {565, 112, 33, 33}, "↑", "上移");
    Button6 = MakeButton(source, "Button6", {600, 112, 33, 33}, "↓", "下移");
    Label11 = MakeLabel(source, "Label11", {24, 160, 16, 16}, "从");
    Edit7 = MakeEdit(source, "Edit7", {48, 156, 41, 24}, "1");
    Label12 = MakeLabel(source, "Label12", {104, 160, 16, 16}, "到");
    Edit8 = MakeEdit(source, "Edit8", {128, 156, 57, 24}, "1");
    Label13 = MakeLabel(source, "Label13", {192, 160, 16, 16}, "列");
    CheckBox1 = MakeCheckBox(source, "CheckBox1", {267, 154, 177, 33}, "指定列的数据不为空",
                             "如果该列没有数据就不合并");
    Edit9 = MakeEdit(source, "Edit9", {443, 158, 51, 24}, "1");
    Label14 = MakeLabel(source, "Label14", {24, 201, 176, 16}, "搜索含有关键词的文件名");
    Edit11 = MakeEdit(source, "Edit11", {227, 199, 227, 24}, "");
    Button7 = MakeButton(source, "Button7", {469, 199, 70, 33}, "搜索", "搜索符合要求的文件");
    ProgressBar1 = Place(new TProgressBar(source), "ProgressBar1", 24, 236, 377, 25);
    Button4 = MakeButton(source, "Button4", {467, 239, 96, 31}, "执行任务", "开始执行合并");

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
}

void TForm_main::BindEvents() {
    const auto bind = [this](QPushButton* button, void (TForm_main::*handler)(QObject*)) {
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { RunGuarded([&] { (this->*handler)(button); }); });
    };
    bind(Button1, &TForm_main::Button1Click);
    bind(Button2, &TForm_main::Button2Click);
    bind(Button3, &TForm_main::Button3Click);
    bind(Button4, &TForm_main::Button4Click);
    bind(Button5, &TForm_main::Button5Click);
    bind(Button6, &TForm_main::Button6Click);
    bind(Button7, &TForm_main::Button7Click);
    Label16->OnClick = [this] { RunGuarded([&] { Label16Click(Label16); }); };
    AIFileDropPan1->SetOnDragFile([this](QObject* sender, const QStringList& files) {
        RunGuarded([&] { AIFileDropPan1DragFile(sender, files); });
    });
}

void TForm_main::SetTabOrder() {
    QWidget* const cycle[] = {Edit1,     Button1, ComboBox1, Edit2,     Edit3,   Edit4,
                              CheckBox2, Edit10,  ListBox1,  ComboBox2, Edit5,   Edit6,
                              Edit7,     Edit8,   CheckBox1, Edit9,     Button2, Button3,
                              Button4,   Button5, Button6,   Edit11,    Button7};
    for (std::size_t i = 0; i + 1 < std::size(cycle); ++i)
        QWidget::setTabOrder(cycle[i], cycle[i + 1]);
}

merge::TMergeSettings TForm_main::CollectMergeSettings() const {
    merge::TMergeSettings settings;
    settings.TargetPath = Edit1->text().toStdString();
    settings.TargetSheetIndex = ComboBox1->currentIndex();
    settings.TargetStartRowText = Edit2->text().toStdString();
    settings.TargetFromColumnText = Edit3->text().toStdString();
    settings.TargetToColumnText = Edit4->text().toStdString();
    settings.SkipOccupiedRows = CheckBox2->isChecked();
    settings.SkipColumnText = Edit10->text().toStdString();
    settings.SourceSheetIndex = ComboBox2->currentIndex();
    settings.SourceFromRowText = Edit5->text().toStdString();
    settings.SourceToRowText = Edit6->text().toStdString();
    settings.SourceFromColumnText = Edit7->text().toStdString();
    settings.FilterNonEmptyRows = CheckBox1->isChecked();
    settings.FilterColumnText = Edit9->text().toStdString();
    return settings;
}

void TForm_main::Button1Click(QObject*) {
    if (OpenDialog1->Execute())
        Edit1->setText(OpenDialog1->FileName());
}

void TForm_main::Button2Click(QObject*) {
    if (!OpenDialog1->Execute())
        return;
    sources::ListBoxSourceList list(*ListBox1);
    list.Append(OpenDialog1->FileName());
}

void TForm_main::Button3Click(QObject*) {
    sources::ListBoxSourceList list(*ListBox1);
    sources::RemoveSelectedEntry(list);
}

void TForm_main::Button4Click(QObject*) {
    sources::ListBoxSourceList list(*ListBox1);
    ProgressBarSink progress(*ProgressBar1);
    merge::RunMergeJob(CollectMergeSettings(), list, progress, util::ShowInfo);
}

void TForm_main::Button5Click(QObject*) {
    sources::ListBoxSourceList list(*ListBox1);
    sources::MoveSelectedEntryUp(list);
}

void TForm_main::Button6Click(QObject*) {
    sources::ListBoxSourceList list(*ListBox1);
    sources::MoveSelectedEntryDown(list);
}

void TForm_main::Button7Click(QObject*) {
#ifdef EXCELMERGE_HAVE_FOLDER_SEARCH
    std::string folder;
    // A cancelled prompt leaves the list as it was.
    if (!util::SelectFolder(false, folder))
        return;
    ListBox1->clear();
    const std::string keyword = Edit11->text().toStdString();
    util::FindFiles(keyword, folder, "*.xls", AddFoundFile, "");
#endif
}

void TForm_main::Label16Click(QObject*) {
    util::OpenDocument(QString::fromUtf8(kMakerWebPage), QString());
}

void TForm_main::AIFileDropPan1DragFile(QObject*, const QStringList& FileList) {
    sources::ListBoxSourceList list(*ListBox1);
    sources::AppendDroppedPaths(list, FileList);
}

void AddFoundFile(const std::string& path, int kind, bool&) {
    if (kind != 0 || Form_main == nullptr)
        return;
    Form_main->ListBox1->addItem(QString::fromStdString(path));
}
