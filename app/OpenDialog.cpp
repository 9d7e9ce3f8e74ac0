#include "app/OpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <utility>

namespace {
TOpenDialog::ModalRunner& Runner() {
    static TOpenDialog::ModalRunner runner;
    return runner;
}
}  // namespace

TOpenDialog::TOpenDialog(QObject* owner) : QObject(owner) {}

TOpenDialog::~TOpenDialog() {
    delete dialog_;
}

TOpenDialog::ModalRunner TOpenDialog::SetModalRunner(ModalRunner runner) {
    return std::exchange(Runner(), std::move(runner));
}

QFileDialog& TOpenDialog::Dialog() {
    if (dialog_ == nullptr) {
        // Owned by the application, not the window; Qt's own dialog so the skin draws it.
        dialog_ = new QFileDialog(nullptr);
        dialog_->setObjectName(QStringLiteral("OpenDialog1"));
        dialog_->setOption(QFileDialog::DontUseNativeDialog, true);
        dialog_->setAcceptMode(QFileDialog::AcceptOpen);
        dialog_->setFileMode(QFileDialog::AnyFile);
        dialog_->setNameFilter(QStringLiteral("*.xls"));
        dialog_->setWindowModality(Qt::ApplicationModal);
    }
    return *dialog_;
}

bool TOpenDialog::Execute() {
    QFileDialog& dialog = Dialog();
    if (!fileName_.isEmpty()) {
        dialog.setDirectory(QFileInfo(fileName_).absolutePath());
        dialog.selectFile(fileName_);
    }
    const int result = Runner() ? Runner()(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return false;
    fileName_ = files.first();
    return true;
}
