#include "util/gui/MessageBox.h"

#include <utility>

namespace util {

namespace {
MessageBoxInterceptor& Interceptor() {
    static MessageBoxInterceptor interceptor;
    return interceptor;
}
}  // namespace

void ShowMessageBox(const MessageBoxRequest& request) {
    if (const auto& interceptor = Interceptor()) {
        interceptor(request);
        return;
    }
    QMessageBox box(request.icon, request.caption, request.text, QMessageBox::Ok);
    box.exec();
}

MessageBoxInterceptor SetMessageBoxInterceptor(MessageBoxInterceptor interceptor) {
    return std::exchange(Interceptor(), std::move(interceptor));
}

}  // namespace util
