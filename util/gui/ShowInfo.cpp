#include "util/gui/ShowInfo.h"

#include "util/gui/MessageBox.h"

namespace util {

void ShowInfo(const std::string& message) {
    ShowMessageBox({QMessageBox::Information, QString::fromUtf8(kShowInfoCaption),
                    QString::fromStdString(message)});
}

}  // namespace util
