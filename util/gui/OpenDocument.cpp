#include "util/gui/OpenDocument.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace util {

namespace {

DocumentOpener& Opener() {
    static DocumentOpener opener;
    return opener;
}

bool OpenWithDesktop(const DocumentRequest& request) {
    // A web address keeps its scheme's colon as "folder", which names no folder here.
    const QString workingFolder =
        QFileInfo(request.folder).isDir() ? request.folder : QDir::currentPath();
    if (!request.parameters.isEmpty()) {
        // Parameters only make sense for a program: start it with them.
        return QProcess::startDetached(request.target, QProcess::splitCommand(request.parameters),
                                       workingFolder);
    }
    const QUrl url = QUrl::fromUserInput(request.target, workingFolder, QUrl::AssumeLocalFile);
    return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace

QString DocumentFolderPart(const QString& target) {
    const qsizetype cut = std::max(target.lastIndexOf(u'\\'), target.lastIndexOf(u':'));
    return cut < 0 ? QString() : target.left(cut + 1);
}

bool OpenDocument(const QString& target, const QString& parameters) {
    const DocumentRequest request{target, parameters, DocumentFolderPart(target)};
    if (const auto& opener = Opener())
        return opener(request);
    return OpenWithDesktop(request);
}

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

}  // namespace util
