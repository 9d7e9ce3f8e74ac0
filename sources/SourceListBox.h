#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "merge/MergeJob.h"

class QListWidget;

namespace sources {

// The source list as the list box holds it: the operations the list commands, the drop, the
// search and the merge job use. Indexes run from 0 at the top; -1 stands for no selection.
// The merge job sees the entries as UTF-8.
class ListBoxSourceList : public merge::ISourceList {
  public:
    explicit ListBoxSourceList(QListWidget& box) : box_(box) {}

    int Count() const override;
    std::string Item(int index) const override;
    // Every entry goes, and nothing is selected.
    void Clear() override;

    QString Text(int index) const;
    QStringList Texts() const;
    // The selection stays where it was.
    void Replace(int index, const QString& text);
    // The new entry comes last; the selection stays where it was.
    void Append(const QString& text);
    // The entries below move up; when the deleted entry was selected, nothing is afterwards.
    void Delete(int index);
    int SelectedIndex() const;
    // Selects the entry and scrolls it into view.
    void Select(int index);

  private:
    QListWidget& box_;
};

// The list commands. Each does nothing when it has nothing to act on, and shows nothing.
void RemoveSelectedEntry(ListBoxSourceList& list);
void MoveSelectedEntryUp(ListBoxSourceList& list);
void MoveSelectedEntryDown(ListBoxSourceList& list);
// Appends the paths of one drop, the last delivered first.
void AppendDroppedPaths(ListBoxSourceList& list, const QStringList& fileList);

}  // namespace sources
