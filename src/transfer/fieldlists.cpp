#include "transfer/fieldlists.h"

#include <QListWidget>

namespace FieldLists {

void MoveSelected(QListWidget* from, QListWidget* to) {
    QListWidgetItem* item = from->currentItem();
    if (!item || !item->isSelected()) return;
    to->addItem(from->takeItem(from->row(item)));
}

void MoveAll(QListWidget* from, QListWidget* to) {
    for (int i = from->count() - 1; i >= 0; --i) to->addItem(from->takeItem(i));
}

}  // namespace FieldLists
