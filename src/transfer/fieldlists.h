#pragma once
// The two field lists of the copy dialogs: entries move one at a time (the
// selected one) or all at once, from the last entry to the first, so that
// they arrive in reverse order.
class QListWidget;

namespace FieldLists {
// Moves the selected entry of `from` to the end of `to`; nothing without a selection.
void MoveSelected(QListWidget* from, QListWidget* to);
// Moves every entry of `from` to `to`, from the last to the first.
void MoveAll(QListWidget* from, QListWidget* to);
}  // namespace FieldLists
