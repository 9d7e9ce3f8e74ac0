#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace util {

// One modal message box of the program: an icon, a caption, a text and a single OK button.
struct MessageBoxRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
};

// Shows the box, owned by the application (no parent window), and returns once it is dismissed.
void ShowMessageBox(const MessageBoxRequest& request);

// While an interceptor is set, ShowMessageBox hands every request to it instead of running a
// modal loop, so tests can see the boxes and go on at once. Returns the previous one.
using MessageBoxInterceptor = std::function<void(const MessageBoxRequest&)>;
MessageBoxInterceptor SetMessageBoxInterceptor(MessageBoxInterceptor interceptor);

}  // namespace util
