// Files and folders dropped anywhere on the source group reach the panel and are appended to
// the source list, the last delivered first.
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include "WindowFixture.h"
#include "sources/FileDropPan.h"

namespace {

QMimeData* FileDrag(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// Delivers a drag over the widget and, when it was accepted, the drop; true when the drop was
// taken.
bool DragAndDrop(QWidget* target, QMimeData* data) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

class DropTest : public WindowTest {
  protected:
    ~DropTest() override { qDeleteAll(drags_); }
    QMimeData* Drag(const QStringList& paths) { return drags_.emplace_back(FileDrag(paths)); }

  private:
    std::vector<QMimeData*> drags_;
};

TEST_F(DropTest, DropAnywhereInTheGroupAppendsLastDeliveredFirst) {
    const std::pair<const char*, QWidget*> targets[] = {
        {"panel", window.AIFileDropPan1},
        {"list box", window.ListBox1->viewport()},
        {"edit box", window.Edit5},
        {"selector", window.ComboBox2->lineEdit()},
    };
    for (const auto& [where, target] : targets) {
        SCOPED_TRACE(where);
        SetEntries({"/x/X.xls"}, 0);
        EXPECT_TRUE(DragAndDrop(target, Drag({"/d/A.xls", "/d/B.txt", "/d/C.xls"})));
        EXPECT_EQ(Entries(), QStringList({"/x/X.xls", "/d/C.xls", "/d/B.txt", "/d/A.xls"}));
        EXPECT_EQ(Selected(), 0);
        EXPECT_EQ(window.Edit5->text(), QStringLiteral("1"));  // no address typed into it
        EXPECT_EQ(window.ComboBox2->currentText(), QString());
    }
}

// The desktop hands a drop to the innermost widget that accepts drops, or else to its nearest
// ancestor that does: every control in the group that accepts drops must pass files on.
TEST_F(DropTest, EveryControlThatTakesDropsHandsFilesToThePanel) {
    int takers = 0;
    for (QWidget* widget : window.AIFileDropPan1->findChildren<QWidget*>()) {
        if (!widget->acceptDrops())
            continue;
        SCOPED_TRACE(widget->metaObject()->className());
        ++takers;
        SetEntries({}, -1);
        EXPECT_TRUE(DragAndDrop(widget, Drag({"/d/A.xls"})));
        EXPECT_EQ(Entries(), QStringList{"/d/A.xls"});
    }
    EXPECT_GE(takers, 7);  // six edit boxes and the selector's edit part
}

TEST_F(DropTest, FoldersDuplicatesAndLongPathsArriveWhole) {
    QString longPath = QStringLiteral("/数据");
    while (longPath.toUtf8().size() < 400)
        longPath += QStringLiteral("/很长的文件夹名称");
    longPath += QStringLiteral("/报表.xls");
    EXPECT_TRUE(DragAndDrop(window.AIFileDropPan1, Drag({"/data/folder", "/a.xls"})));
    EXPECT_TRUE(DragAndDrop(window.AIFileDropPan1, Drag({"/a.xls", longPath})));
    EXPECT_EQ(Entries(), QStringList({"/a.xls", "/data/folder", longPath, "/a.xls"}));
    EXPECT_EQ(window.AIFileDropPan1->DroppedFiles(), QStringList({"/a.xls", longPath}));
}

TEST_F(DropTest, DropOfNoItemsCallsTheHandlerWithAnEmptyList) {
    SetEntries({"/x/X.xls"}, -1);
    EXPECT_TRUE(DragAndDrop(window.AIFileDropPan1, Drag({"/a.xls"})));
    int calls = 0;
    QStringList delivered{"unset"};
    window.AIFileDropPan1->SetOnDragFile([&](QObject* sender, const QStringList& files) {
        ++calls;
        delivered = files;
        EXPECT_EQ(sender, window.AIFileDropPan1);
    });
    EXPECT_TRUE(DragAndDrop(window.AIFileDropPan1, Drag({})));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(delivered.isEmpty());
    EXPECT_TRUE(window.AIFileDropPan1->DroppedFiles().isEmpty());
    EXPECT_EQ(Entries(), QStringList({"/x/X.xls", "/a.xls"}));
}

TEST_F(DropTest, PanelThatAcceptsNoFilesTakesNoDrop) {
    window.AIFileDropPan1->SetAcceptFile(false);
    EXPECT_FALSE(window.AIFileDropPan1->acceptDrops());
    EXPECT_FALSE(DragAndDrop(window.AIFileDropPan1, Drag({"/a.xls"})));
    EXPECT_FALSE(DragAndDrop(window.Edit5, Drag({"/a.xls"})));
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("1"));
    window.AIFileDropPan1->SetAcceptFile(true);
    EXPECT_TRUE(DragAndDrop(window.AIFileDropPan1, Drag({"/a.xls"})));
    EXPECT_EQ(Entries(), QStringList{"/a.xls"});
}

TEST_F(DropTest, EditBoxesStillTakeDraggedText) {
    auto* data = new QMimeData;
    data->setText(QStringLiteral("7"));
    window.Edit5->clear();
    EXPECT_TRUE(DragAndDrop(window.Edit5, data));
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("7"));
    EXPECT_TRUE(Entries().isEmpty());
    delete data;
}

TEST(DropPathsTest, OnlyLocalAddressesBecomePaths) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/a b/c.xls"), QUrl("https://example.com/x.xls"),
                  QUrl::fromLocalFile("/报表/一月.xls")});
    EXPECT_EQ(TAIFileDropPan::LocalPaths(&data), QStringList({"/a b/c.xls", "/报表/一月.xls"}));
    QMimeData text;
    text.setText("/a.xls");
    EXPECT_TRUE(TAIFileDropPan::LocalPaths(&text).isEmpty());
}

}  // namespace
