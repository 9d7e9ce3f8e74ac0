#include "sources/FileDropPan.h"

#include <QChildEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

TAIFileDropPan::TAIFileDropPan(QWidget* owner) : QFrame(owner) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    SetAcceptFile(true);
}

void TAIFileDropPan::SetAcceptFile(bool accept) {
    acceptFile_ = accept;
    setAcceptDrops(accept);
}

QStringList TAIFileDropPan::LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        // Whole paths: a path here may be far longer than 254 bytes, and a Chinese character
        // takes three bytes in UTF-8, so cutting would leave paths that name nothing.
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

bool TAIFileDropPan::WantsDrag(const QMimeData* data) const {
    return acceptFile_ && data != nullptr && data->hasUrls();
}

void TAIFileDropPan::AnswerDrag(QDragMoveEvent* event) const {
    if (WantsDrag(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TAIFileDropPan::dragEnterEvent(QDragEnterEvent* event) {
    AnswerDrag(event);
}

void TAIFileDropPan::dragMoveEvent(QDragMoveEvent* event) {
    AnswerDrag(event);
}

void TAIFileDropPan::dropEvent(QDropEvent* event) {
    TakeDrop(event);
}

void TAIFileDropPan::TakeDrop(QDropEvent* event) {
    if (!WantsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    droppedFiles_ = LocalPaths(event->mimeData());
    event->acceptProposedAction();
    if (onDragFile_)
        onDragFile_(this, droppedFiles_);
}

// Controls inside the panel see a drag first. Line edits (the drop-down lists' ones included)
// would take a file address as text, so a drag that carries addresses is answered here for
// every control below the panel, which also keeps the drag target for its drop.
bool TAIFileDropPan::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);  // an enter is a move too
            if (!drag->mimeData()->hasUrls())
                break;
            AnswerDrag(drag);
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasUrls())
                break;
            TakeDrop(drop);
            return true;
        }
        case QEvent::ChildAdded:
            WatchDescendants(static_cast<QChildEvent*>(event)->child());
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

void TAIFileDropPan::WatchDescendants(QObject* object) {
    if (!object->isWidgetType())
        return;
    // Installing twice moves the filter to the front; it is still called once.
    object->installEventFilter(this);
    for (QObject* child : object->children())
        WatchDescendants(child);
}

void TAIFileDropPan::childEvent(QChildEvent* event) {
    if (event->added() || event->polished())
        WatchDescendants(event->child());
    QFrame::childEvent(event);
}

void TAIFileDropPan::showEvent(QShowEvent* event) {
    for (QObject* child : children())
        WatchDescendants(child);
    QFrame::showEvent(event);
}
