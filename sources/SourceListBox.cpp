#include "sources/SourceListBox.h"

#include <QItemSelectionModel>
#include <QListWidget>

namespace sources {

int ListBoxSourceList::Count() const {
    return box_.count();
}

std::string ListBoxSourceList::Item(int index) const {
    return Text(index).toStdString();
}

void ListBoxSourceList::Clear() {
    box_.clear();
}

QString ListBoxSourceList::Text(int index) const {
    const QListWidgetItem* item = box_.item(index);
    return item != nullptr ? item->text() : QString();
}

QStringList ListBoxSourceList::Texts() const {
    QStringList texts;
    for (int i = 0; i < box_.count(); ++i)
        texts.append(box_.item(i)->text());
    return texts;
}

void ListBoxSourceList::Replace(int index, const QString& text) {
    if (QListWidgetItem* item = box_.item(index))
        item->setText(text);
}

void ListBoxSourceList::Append(const QString& text) {
    box_.addItem(text);
}

void ListBoxSourceList::Delete(int index) {
    const bool wasSelected = SelectedIndex() == index;
    delete box_.takeItem(index);
    // The view would hand the selection on to the next entry.
    if (wasSelected)
        box_.setCurrentItem(nullptr);
}

int ListBoxSourceList::SelectedIndex() const {
    const QModelIndexList rows = box_.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListBoxSourceList::Select(int index) {
    box_.setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    if (QListWidgetItem* item = box_.item(index))
        box_.scrollToItem(item);
}

void RemoveSelectedEntry(ListBoxSourceList& list) {
    const int i = list.SelectedIndex();
    if (i == -1)
        return;
    list.Delete(i);
}

// A move exchanges the texts of two neighbours and the selection follows the moved entry.
static void ExchangeWithNeighbour(ListBoxSourceList& list, int i, int neighbour) {
    const QString a = list.Text(i);
    const QString b = list.Text(neighbour);
    list.Replace(i, b);
    list.Replace(neighbour, a);
    list.Select(neighbour);
}

void MoveSelectedEntryUp(ListBoxSourceList& list) {
    const int i = list.SelectedIndex();
    if (i <= 0)
        return;
    ExchangeWithNeighbour(list, i, i - 1);
}

void MoveSelectedEntryDown(ListBoxSourceList& list) {
    const int i = list.SelectedIndex();
    if (i == -1 || i >= list.Count() - 1)
        return;
    ExchangeWithNeighbour(list, i, i + 1);
}

void AppendDroppedPaths(ListBoxSourceList& list, const QStringList& fileList) {
    for (qsizetype i = fileList.size() - 1; i >= 0; --i)
        list.Append(fileList.at(i));
}

}  // namespace sources
