#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <utility>

// The program's application object. An exception that escapes an event handler is reported in
// a message box (the exception's message, the application's title as caption, an error icon and
// OK) and the event loop goes on, so the window stays open with whatever state the handler left.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The report's text: the message, with a full stop appended when its last character sorts
// after the full stop ("磁盘已满" gives "磁盘已满.", "Done." and "Done!" stay as they are).
QString EscapedExceptionText(const QString& message);

// Shows the report for the exception being handled (call it from a catch block).
void ReportEscapedException();

// Runs a window handler; an exception that it throws is reported and goes no further. The
// handlers run inside Qt's signal delivery, which must not be unwound by an exception.
template <typename Handler>
void RunGuarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportEscapedException();
    }
}
