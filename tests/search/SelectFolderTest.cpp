// The folder prompt, shown for real on the offscreen screen and answered from a timer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "util/gui/SelectFolder.h"

namespace {

// Runs action on the modal window of type Window that opens next, once it is up. Gives up,
// closing whatever is modal, after about ten seconds.
template <typename Window>
void WhenModalOpens(std::function<void(Window*)> action, int triesLeft = 1000) {
    QTimer::singleShot(10, [action = std::move(action), triesLeft]() mutable {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window != nullptr) {
            action(window);
        } else if (triesLeft > 0) {
            WhenModalOpens<Window>(std::move(action), triesLeft - 1);
        } else {
            ADD_FAILURE() << "no " << Window::staticMetaObject.className() << " opened";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
}

// Presses OK as the user would; false when it can't be pressed.
bool PressOk(QFileDialog* prompt) {
    QCoreApplication::processEvents();  // let the button follow the path field
    auto* buttons = prompt->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QPushButton* ok = buttons == nullptr ? nullptr : buttons->button(QDialogButtonBox::Open);
    if (ok == nullptr || !ok->isEnabled()) {
        ADD_FAILURE() << "OK can't be pressed";
        prompt->reject();
        return false;
    }
    ok->click();
    return true;
}

void TypePath(QFileDialog* prompt, const QString& path) {
    auto* edit = prompt->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(path);
}

class SelectFolderTest : public ::testing::Test {
  protected:
    SelectFolderTest() {
        EXPECT_TRUE(dir.isValid());
        EXPECT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Reports/2024")));
        previous = util::SetFolderPromptAnswerer(nullptr);
    }
    ~SelectFolderTest() override { util::SetFolderPromptAnswerer(std::move(previous)); }

    std::string Path(const char* relative) const {
        return QDir(dir.path()).filePath(QString::fromUtf8(relative)).toStdString();
    }

    QTemporaryDir dir;
    util::FolderPromptAnswerer previous;
};

TEST_F(SelectFolderTest, ShowsTheTitledPromptAtTheGivenFolder) {
    std::string folder = Path("Reports");
    QString title;
    QString shownAt;
    bool helpButton = true;
    bool pathFieldShown = true;
    WhenModalOpens<QFileDialog>([&](QFileDialog* prompt) {
        title = prompt->windowTitle();
        shownAt = prompt->directory().absolutePath();
        helpButton = prompt->windowFlags().testFlag(Qt::WindowContextHelpButtonHint);
        pathFieldShown = prompt->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->isVisible();
        PressOk(prompt);  // OK takes the folder current in the tree
    });
    EXPECT_TRUE(util::SelectFolder(false, folder));
    EXPECT_EQ(title, QStringLiteral("选择目录"));
    EXPECT_EQ(shownAt.toStdString(), Path("Reports"));
    EXPECT_FALSE(helpButton);
    EXPECT_FALSE(pathFieldShown);
    EXPECT_EQ(folder, Path("Reports"));
}

TEST_F(SelectFolderTest, CancelLeavesTheFolderText) {
    std::string folder = "/no/such/folder";
    QString shownAt;
    WhenModalOpens<QFileDialog>([&](QFileDialog* prompt) {
        shownAt = prompt->directory().absolutePath();
        prompt->close();
    });
    EXPECT_FALSE(util::SelectFolder(false, folder));
    EXPECT_EQ(folder, "/no/such/folder");
    EXPECT_EQ(shownAt, QDir::currentPath());  // a folder that isn't there starts at the current one
}

TEST_F(SelectFolderTest, AMissingTypedFolderIsAskedAboutAndNeverCreated) {
    const std::string missing = Path("Reports/New");
    std::string folder;
    QStringList questions;
    bool openAfterNo = false;
    auto answer = [&](QMessageBox::StandardButton button) {
        WhenModalOpens<QMessageBox>([&questions, button](QMessageBox* box) {
            questions.append(box->text());
            EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            box->button(button)->click();
        });
    };
    WhenModalOpens<QFileDialog>([&](QFileDialog* prompt) {
        TypePath(prompt, QString::fromStdString(missing));
        answer(QMessageBox::No);
        PressOk(prompt);
        openAfterNo = prompt->isVisible();
        answer(QMessageBox::Yes);
        PressOk(prompt);
    });
    folder = Path("Reports");
    EXPECT_TRUE(util::SelectFolder(true, folder));
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(questions, QStringList(2, QStringLiteral("指定的目录不存在. 创建吗?")));
    EXPECT_EQ(folder, missing);
    EXPECT_FALSE(QDir(QString::fromStdString(missing)).exists());
}

TEST_F(SelectFolderTest, AnExistingTypedFolderIsTakenWithoutAQuestion) {
    std::string folder;
    WhenModalOpens<QFileDialog>([&](QFileDialog* prompt) {
        TypePath(prompt, QString::fromStdString(Path("Reports/2024")));
        PressOk(prompt);
    });
    EXPECT_TRUE(util::SelectFolder(true, folder));
    EXPECT_EQ(folder, Path("Reports/2024"));
}

TEST_F(SelectFolderTest, AnAnswererStandsInForThePrompt) {
    std::vector<std::pair<bool, std::string>> asked;
    util::SetFolderPromptAnswerer([&](bool allowCreate, const std::string& start) {
        asked.emplace_back(allowCreate, start);
        return asked.size() == 1 ? std::optional<std::string>(Path("Reports")) : std::nullopt;
    });
    std::string folder;
    EXPECT_TRUE(util::SelectFolder(false, folder));
    EXPECT_EQ(folder, Path("Reports"));
    EXPECT_FALSE(util::SelectFolder(true, folder));
    EXPECT_EQ(folder, Path("Reports"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], (std::pair<bool, std::string>{false, QDir::currentPath().toStdString()}));
    EXPECT_EQ(asked[1], (std::pair<bool, std::string>{true, Path("Reports")}));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
