#include "app/WorksheetComboBox.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>
#include <algorithm>

TWorksheetComboBox::TWorksheetComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(8);
    // Typing, deleting, cutting and pasting: the text is the user's own, not an item.
    connect(lineEdit(), &QLineEdit::textEdited, this, &TWorksheetComboBox::Deselect);
}

void TWorksheetComboBox::SelectKeepingText(int index) {
    if (currentIndex() == index)
        return;
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = edit->selectionLength();
    setCurrentIndex(index);  // also puts the item's text (empty for none) into the edit
    if (edit->text() != text)
        edit->setText(text);
    if (selectionStart >= 0 && selectionLength > 0) {
        if (cursor == selectionStart)
            edit->setSelection(selectionStart + selectionLength, -selectionLength);
        else
            edit->setSelection(selectionStart, selectionLength);
    } else {
        edit->setCursorPosition(cursor);
    }
}

void TWorksheetComboBox::Deselect() {
    SelectKeepingText(-1);
}

template <typename Handler>
void TWorksheetComboBox::WithoutTextMatching(Handler&& handler) {
    const int before = currentIndex();
    handler();
    // A user edit inside the handler leaves -1, which stays.
    if (currentIndex() != before && currentIndex() != -1)
        SelectKeepingText(before);
}

bool TWorksheetComboBox::CompleteWith(const QString& typed) {
    QLineEdit* edit = lineEdit();
    const QString candidate =
        (edit->hasSelectedText() ? edit->text().left(edit->selectionStart()) : edit->text()) +
        typed;
    for (int i = 0; i < count(); ++i) {
        const QString item = itemText(i);
        if (!item.startsWith(candidate, Qt::CaseInsensitive))
            continue;
        setCurrentIndex(i);
        const QString rest = item.mid(candidate.size());
        edit->setText(candidate + rest);
        edit->setSelection(candidate.size(), rest.size());
        return true;
    }
    return false;
}

void TWorksheetComboBox::StepSelection(int delta) {
    if (count() == 0)
        return;
    const int index = currentIndex() == -1 ? 0 : std::clamp(currentIndex() + delta, 0, count() - 1);
    setCurrentIndex(index);
    lineEdit()->selectAll();
}

void TWorksheetComboBox::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;
    if (plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        StepSelection(event->key() == Qt::Key_Up ? -1 : 1);
        event->accept();
        return;
    }
    if (plain && (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)) {
        event->accept();  // only the arrow keys step through the items
        return;
    }
    const QString text = event->text();
    if (plain && !text.isEmpty() && text.front().isPrint()) {
        if (CompleteWith(text)) {
            event->accept();
            return;
        }
        QComboBox::keyPressEvent(event);
        Deselect();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        QComboBox::keyPressEvent(event);
        Deselect();  // also when there was nothing in front of the caret to remove
        return;
    }
    WithoutTextMatching([&] { QComboBox::keyPressEvent(event); });
}

void TWorksheetComboBox::focusOutEvent(QFocusEvent* event) {
    WithoutTextMatching([&] { QComboBox::focusOutEvent(event); });
}

void TWorksheetComboBox::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

void TWorksheetComboBox::inputMethodEvent(QInputMethodEvent* event) {
    // A finished composition is typed text, character by character.
    if (event->preeditString().isEmpty() && event->replacementLength() == 0 &&
        !event->commitString().isEmpty()) {
        for (const QChar ch : event->commitString()) {
            if (!CompleteWith(QString(ch))) {
                lineEdit()->insert(QString(ch));
                Deselect();
            }
        }
        event->accept();
        return;
    }
    WithoutTextMatching([&] { QComboBox::inputMethodEvent(event); });
}
