#pragma once

#include <QString>

class QApplication;

inline constexpr char kSkinResource[] = ":/skin/excelmerge.qss";

// Applies the skin, a style sheet, to the whole application, so its message boxes and dialogs
// are drawn with it too. A skin that cannot be read leaves the ordinary look, without a message;
// returns whether the skin is in force.
bool ApplySkin(QApplication& application, const QString& path = QString::fromUtf8(kSkinResource));
