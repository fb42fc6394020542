#pragma once
// The two field lists of the copy dialogs: entries move one at a time (the
// selected one) or all at once, from the last entry to the first, so that
// they arrive in reverse order.
class QGroupBox;
class QListWidget;
class QPushButton;
class QWidget;

namespace FieldLists {
// The "Fields" box of a copy dialog: the fields not chosen (lstFields), the
// four arrow buttons, and the fields chosen in column order (lstCopyFields).
QGroupBox* MakeBox(QWidget* owner, QListWidget*& fields, QListWidget*& chosen, QPushButton*& add, QPushButton*& addAll,
                   QPushButton*& remove, QPushButton*& removeAll);
// Moves the selected entry of `from` to the end of `to`; nothing without a selection.
void MoveSelected(QListWidget* from, QListWidget* to);
// Moves every entry of `from` to `to`, from the last to the first.
void MoveAll(QListWidget* from, QListWidget* to);
}  // namespace FieldLists
