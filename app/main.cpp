// The window program: one window, every value at its default, nothing read or saved.
#include <QIcon>

#include "app/Application.h"
#include "app/Skin.h"
#include "app/Unit_main.h"
#include "app/batch/EngineRegistration.h"

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(EXCELMERGE_VERSION));
    // The desktop finds the menu entry and the icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("excelmerge"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 72, 96, 128})
        icon.addFile(QStringLiteral(":/icons/excelmerge-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // Typing in the source list finds an entry; keys less than half a second apart extend it.
    QApplication::setKeyboardInputInterval(500);
    ApplySkin(application);
    // The embedded spreadsheet application answers "Excel.Application" for the merge job.
    batch::RegisterEmbeddedEngine();

    TForm_main window;
    window.show();
    return application.exec();
}
