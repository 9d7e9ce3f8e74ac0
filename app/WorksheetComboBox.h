#pragma once

#include <QComboBox>

// An editable drop-down list whose selection exists only when an item was chosen from the list,
// stepped to with the Up and Down keys, or reached by typing the beginning of its text (the
// rest of the item is then filled in and highlighted). Any other change of the text leaves it
// without a selection, even when the text reads like an item; Qt's combo box would pick an
// item matching the text when editing ends, and its mouse wheel would step the items.
class TWorksheetComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TWorksheetComboBox(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    // Completes the text with the first item that begins with the candidate the character
    // forms; false, changing nothing, when no item does.
    bool CompleteWith(const QString& typed);
    void StepSelection(int delta);
    // No item selected; the text, caret and highlight stay as they are.
    void Deselect();
    void SelectKeepingText(int index);
    // Runs a base handler and undoes any selection it made by matching the text.
    template <typename Handler>
    void WithoutTextMatching(Handler&& handler);
};
