#pragma once

#include <QFrame>
#include <QStringList>
#include <functional>

class QDropEvent;
class QMimeData;

// Told of each drop: the panel that took it and the full paths of the dropped items, in the
// order the desktop delivered them. The list belongs to the panel and lives until the next drop.
using TDragFileEvent = std::function<void(QObject* Sender, const QStringList& FileList)>;

// A borderless container that takes files and folders dropped from the desktop's file manager
// and hands their full paths to its owner through OnDragFile. A drop over any control inside
// it reaches the panel too: edit boxes and drop-down lists keep taking dragged text, never
// dragged files.
class TAIFileDropPan : public QFrame {
    Q_OBJECT
  public:
    // The owner becomes the parent at once; the panel starts out accepting files.
    explicit TAIFileDropPan(QWidget* owner);

    bool AcceptFile() const { return acceptFile_; }
    void SetAcceptFile(bool accept);

    const TDragFileEvent& OnDragFile() const { return onDragFile_; }
    void SetOnDragFile(TDragFileEvent handler) { onDragFile_ = std::move(handler); }

    // The paths of the latest drop.
    const QStringList& DroppedFiles() const { return droppedFiles_; }

    // The full local paths a drag carries, in its order; empty for a drag without file
    // addresses (addresses of other schemes are left out).
    static QStringList LocalPaths(const QMimeData* data);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool WantsDrag(const QMimeData* data) const;
    void AnswerDrag(QDragMoveEvent* event) const;
    void TakeDrop(QDropEvent* event);
    void WatchDescendants(QObject* object);

    TDragFileEvent onDragFile_;
    bool acceptFile_ = false;
    QStringList droppedFiles_;
};
