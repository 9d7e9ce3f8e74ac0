#include "util/gui/SelectFolder.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace util {

namespace {

const char kTitle[] = "选择目录";
const char kCreateQuestion[] = "指定的目录不存在. 创建吗?";

FolderPromptAnswerer& Answerer() {
    static FolderPromptAnswerer answerer;
    return answerer;
}

QString StartFolder(const std::string& folder) {
    const QString path = QString::fromStdString(folder);
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return QFileInfo(path).absoluteFilePath();
    return QDir::currentPath();
}

// Qt's own folder prompt (never the desktop's, so it looks and behaves the same everywhere).
// Without allowCreate it offers the folder selector and the tree only, and OK takes the folder
// current in the tree; with allowCreate it keeps the path field.
class FolderPrompt : public QFileDialog {
  public:
    FolderPrompt(bool allowCreate, const QString& startFolder)
        : QFileDialog(QApplication::activeWindow()), allowCreate_(allowCreate) {
        setWindowTitle(QString::fromUtf8(kTitle));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        setOption(QFileDialog::DontUseNativeDialog, true);
        setFileMode(QFileDialog::Directory);
        setAcceptMode(QFileDialog::AcceptOpen);
        setDirectory(startFolder);
        for (const char* name : {"fileTypeCombo", "fileTypeLabel"})
            if (QWidget* widget = findChild<QWidget*>(QString::fromLatin1(name)))
                widget->hide();
        if (!allowCreate_) {
            for (const char* name : {"fileNameEdit", "fileNameLabel"})
                if (QWidget* widget = findChild<QWidget*>(QString::fromLatin1(name)))
                    widget->hide();
            return;
        }
        // Qt disables OK while the typed path names no folder; here such a path is a
        // question, not an error. Queued, so this runs after Qt's own update of the button.
        if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            const auto enableOk = [this, edit] {
                QPushButton* ok = OkButton();
                if (ok != nullptr && !edit->text().isEmpty())
                    ok->setEnabled(true);
            };
            connect(edit, &QLineEdit::textChanged, this, enableOk, Qt::QueuedConnection);
            connect(this, &QFileDialog::currentChanged, this, enableOk, Qt::QueuedConnection);
            connect(this, &QFileDialog::directoryEntered, this, enableOk, Qt::QueuedConnection);
        }
    }

    QPushButton* OkButton() const {
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        return buttons == nullptr ? nullptr : buttons->button(QDialogButtonBox::Open);
    }

    const QString& Chosen() const { return chosen_; }

    void accept() override {
        const QString path = selectedFiles().value(0);
        if (allowCreate_ && !path.isEmpty() && !QFileInfo(path).isDir()) {
            const auto answer =
                QMessageBox::question(this, windowTitle(), QString::fromUtf8(kCreateQuestion),
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            if (answer != QMessageBox::Yes)
                return;  // No: the user corrects the path
            chosen_ = path;
            QDialog::accept();
            return;
        }
        chosen_ = path;
        QFileDialog::accept();
    }

  private:
    bool allowCreate_;
    QString chosen_;
};

}  // namespace

FolderPromptAnswerer SetFolderPromptAnswerer(FolderPromptAnswerer answerer) {
    FolderPromptAnswerer previous = std::move(Answerer());
    Answerer() = std::move(answerer);
    return previous;
}

bool SelectFolder(bool allowCreate, std::string& folder) {
    const QString start = StartFolder(folder);
    if (Answerer()) {
        const std::optional<std::string> answer = Answerer()(allowCreate, start.toStdString());
        if (!answer)
            return false;
        folder = *answer;
        return true;
    }
    FolderPrompt prompt(allowCreate, start);
    if (prompt.exec() != QDialog::Accepted)
        return false;
    folder = QDir::toNativeSeparators(prompt.Chosen()).toStdString();
    return true;
}

}  // namespace util
