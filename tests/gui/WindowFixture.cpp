#include "WindowFixture.h"

#include <QFileDialog>
#include <QListWidget>
#include <QTest>

#include "sources/SourceListBox.h"

WindowTest::WindowTest() {
    previousInterceptor_ = util::SetMessageBoxInterceptor(
        [this](const util::MessageBoxRequest& request) { boxes.push_back(request); });
    previousRunner_ = TOpenDialog::SetModalRunner([this](QFileDialog& dialog) {
        dialogOpenedAt.append(dialog.selectedFiles().value(0));
        if (dialogAnswers.empty()) {
            ADD_FAILURE() << "the open-file dialog ran without an answer";
            return int(QDialog::Rejected);
        }
        const std::optional<QString> answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        if (!answer)
            return int(QDialog::Rejected);
        dialog.selectFile(*answer);
        return int(QDialog::Accepted);
    });
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
}

WindowTest::~WindowTest() {
    TOpenDialog::SetModalRunner(std::move(previousRunner_));
    util::SetMessageBoxInterceptor(std::move(previousInterceptor_));
}

QStringList WindowTest::Entries() const {
    return sources::ListBoxSourceList(*window.ListBox1).Texts();
}

int WindowTest::Selected() const {
    return sources::ListBoxSourceList(*window.ListBox1).SelectedIndex();
}

void WindowTest::SetEntries(const QStringList& entries, int selected) {
    sources::ListBoxSourceList list(*window.ListBox1);
    list.Clear();
    for (const QString& entry : entries)
        list.Append(entry);
    if (selected >= 0)
        list.Select(selected);
}
