#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QFileDialog;

// The window's one open-file dialog: filter "*.xls", one file per use, a typed name accepted
// even when no such file exists. It keeps the last accepted path and opens at it on its next
// use, whichever command used it last.
class TOpenDialog : public QObject {
    Q_OBJECT
  public:
    explicit TOpenDialog(QObject* owner);
    ~TOpenDialog() override;

    // Runs the dialog modally; true when the user accepted a file, whose full path FileName()
    // then gives.
    bool Execute();
    QString FileName() const { return fileName_; }

    // While set, Execute hands the prepared dialog to the runner instead of running its modal
    // loop; the runner returns QDialog::Accepted or QDialog::Rejected (tests: select a file and
    // accept, or cancel, without a real dialog on the screen). Returns the previous runner.
    using ModalRunner = std::function<int(QFileDialog& dialog)>;
    static ModalRunner SetModalRunner(ModalRunner runner);

  private:
    QFileDialog& Dialog();

    QFileDialog* dialog_ = nullptr;
    QString fileName_;
};
