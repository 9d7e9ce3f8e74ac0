#include "app/Application.h"

#include <QCoreApplication>

#include "util/gui/MessageBox.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportEscapedException();
        return false;
    }
}

QString EscapedExceptionText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + u'.';
    return message;
}

void ReportEscapedException() {
    QString message;
    try {
        throw;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Unknown exception");
    }
    // The title the platform gives the application: the executable's name.
    util::ShowMessageBox({QMessageBox::Critical, QCoreApplication::applicationName(),
                          EscapedExceptionText(message)});
}
