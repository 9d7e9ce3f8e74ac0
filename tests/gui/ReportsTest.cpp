// What the window tells the user and the desktop: escaped exceptions, the information box,
// the link label, and the skin.
#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <stdexcept>

#include "WindowFixture.h"
#include "app/Application.h"
#include "app/ClickLabel.h"
#include "app/Skin.h"
#include "util/gui/OpenDocument.h"
#include "util/gui/ShowInfo.h"

#include <QTest>

namespace {

TEST(EscapedExceptionTextTest, FullStopFollowsACharacterThatSortsAfterIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Disk full", "Disk full."},
        {"磁盘已满", "磁盘已满."},
        {"Done.", "Done."},
        {"Done!", "Done!"},
        {"a-", "a-"},
        {"(a)", "(a)"},
        {"path/", "path/."},
        {"", ""},
        {"x 1", "x 1."},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(EscapedExceptionText(QString::fromUtf8(message)), QString::fromUtf8(shown))
            << message;
}

using ReportTest = WindowTest;

TEST_F(ReportTest, ExceptionFromAHandlerIsReportedAndTheWindowStays) {
    window.Edit1->setText(QStringLiteral("/kept.xls"));
    TOpenDialog::SetModalRunner(
        [](QFileDialog&) -> int { throw std::runtime_error("对话框坏了"); });
    window.Button1->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].caption, QCoreApplication::applicationName());
    EXPECT_EQ(boxes[0].text, QStringLiteral("对话框坏了."));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("/kept.xls"));

    // The window goes on working.
    SetEntries({"A", "B"}, 1);
    window.Button5->click();
    EXPECT_EQ(Entries(), QStringList({"B", "A"}));
}

// An event handler that throws outside the window's own handlers reaches the application
// object, which reports it and goes on.
class ThrowingObject : public QObject {
  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("bad event");
        return QObject::event(event);
    }
};

TEST_F(ReportTest, ApplicationReportsAnExceptionFromAnyEvent) {
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QApplication::sendEvent(&object, &event));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].text, QStringLiteral("bad event."));
}

TEST_F(ReportTest, ShowInfoIsAnInformationBoxCaptioned提示) {
    util::ShowInfo("任务完成");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("任务完成"));
}

TEST(DocumentFolderPartTest, UpToTheLastBackslashOrColon) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://www.example.com/a/b", "https:"},
        {"C:\\Data\\report.xls", "C:\\Data\\"},
        {"C:report.xls", "C:"},
        {"report.xls", ""},
        {"/home/user/report.xls", ""},
        {"", ""},
    };
    for (const auto& [target, folder] : cases)
        EXPECT_EQ(util::DocumentFolderPart(QString::fromUtf8(target)), QString::fromUtf8(folder))
            << target;
}

class LinkTest : public WindowTest {
  protected:
    ~LinkTest() override { util::SetDocumentOpener(std::move(previous_)); }
    void Answer(bool accepted) {
        previous_ = util::SetDocumentOpener([this, accepted](const util::DocumentRequest& r) {
            requests.push_back(r);
            return accepted;
        });
    }
    std::vector<util::DocumentRequest> requests;

  private:
    util::DocumentOpener previous_;
};

TEST_F(LinkTest, ClickOpensTheMakersPageAndShowsNothingWhenThatFails) {
    Answer(false);
    QTest::mouseClick(window.Label16, Qt::LeftButton, {}, window.Label16->rect().center());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, QString::fromUtf8(kMakerWebPage));
    EXPECT_EQ(requests[0].parameters, QString());
    EXPECT_EQ(requests[0].folder, QStringLiteral("https:"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(LinkTest, ClickOnTheOtherLabelOpensNothing) {
    Answer(true);
    QTest::mouseClick(window.Label15, Qt::LeftButton, {}, window.Label15->rect().center());
    EXPECT_TRUE(requests.empty());
}

class SkinTest : public WindowTest {
  protected:
    ~SkinTest() override { qApp->setStyleSheet(QString()); }
};

TEST_F(SkinTest, SkinAppliesToTheWholeApplication) {
    ASSERT_TRUE(ApplySkin(*qApp));
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QPushButton")));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SkinTest, UnreadableSkinLeavesTheOrdinaryLookWithoutAMessage) {
    EXPECT_FALSE(ApplySkin(*qApp, QStringLiteral(":/skin/missing.qss")));
    EXPECT_EQ(qApp->styleSheet(), QString());
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
