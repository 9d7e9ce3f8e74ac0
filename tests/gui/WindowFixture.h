#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/ClickLabel.h"
#include "app/OpenDialog.h"
#include "app/ProgressBar.h"
#include "app/Unit_main.h"
#include "app/WorksheetComboBox.h"
#include "sources/FileDropPan.h"
#include "util/gui/MessageBox.h"

// A fresh window per test, shown on the offscreen screen. Message boxes are recorded instead of
// shown; the open-file dialog takes its answers from a queue (an empty optional cancels) and
// records the path it opened at.
class WindowTest : public ::testing::Test {
  protected:
    WindowTest();
    ~WindowTest() override;

    template <typename Widget>
    Widget* Find(const char* name) {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr)
            ADD_FAILURE() << "no control " << name;
        return widget;
    }

    // The entries of ListBox1, and its selected index.
    QStringList Entries() const;
    int Selected() const;
    void SetEntries(const QStringList& entries, int selected);

    std::vector<util::MessageBoxRequest> boxes;
    std::deque<std::optional<QString>> dialogAnswers;
    QStringList dialogOpenedAt;  // the file-name field's path each time the dialog opened
    TForm_main window;

  private:
    util::MessageBoxInterceptor previousInterceptor_;
    TOpenDialog::ModalRunner previousRunner_;
};
