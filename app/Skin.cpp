#include "app/Skin.h"

#include <QApplication>
#include <QFile>

bool ApplySkin(QApplication& application, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty())
        return false;
    application.setStyleSheet(sheet);
    return true;
}
