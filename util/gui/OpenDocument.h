#pragma once

#include <QString>
#include <functional>

namespace util {

// What OpenDocument hands to the desktop: the document, program or address, its parameters
// (empty for none) and the folder to start in.
struct DocumentRequest {
    QString target;
    QString parameters;
    QString folder;
};

// The folder part of a target: everything up to and including its last backslash or colon,
// empty when it has neither ("https://host/page" gives "https:").
QString DocumentFolderPart(const QString& target);

// Asks the desktop to open target with the program associated with it (a web address in the
// browser, a document in its editor; a program is started with parameters). Returns whether the
// request was accepted. Shows nothing either way.
bool OpenDocument(const QString& target, const QString& parameters);

// While set, OpenDocument hands its request to the opener instead of the desktop (tests).
// Returns the previous opener.
using DocumentOpener = std::function<bool(const DocumentRequest&)>;
DocumentOpener SetDocumentOpener(DocumentOpener opener);

}  // namespace util
