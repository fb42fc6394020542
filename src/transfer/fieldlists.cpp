#include "transfer/fieldlists.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace FieldLists {

QGroupBox* MakeBox(QWidget* owner, QListWidget*& fields, QListWidget*& chosen, QPushButton*& add, QPushButton*& addAll,
                   QPushButton*& remove, QPushButton*& removeAll) {
    auto* box = new QGroupBox("Fields", owner);
    auto list = [box](QListWidget*& l, const char* name) {
        l = new QListWidget(box);
        l->setObjectName(name);
    };
    list(fields, "lstFields");
    list(chosen, "lstCopyFields");
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    auto button = [box, arrows](QPushButton*& b, const char* caption, const char* name) {
        b = new QPushButton(caption, box);
        b->setObjectName(name);
        b->setAutoDefault(false);
        arrows->addWidget(b);
    };
    button(add, ">", "cmdAdd");
    button(addAll, ">>", "cmdAddAll");
    button(remove, "<", "cmdRemove");
    button(removeAll, "<<", "cmdRemoveAll");
    arrows->addStretch(1);
    auto* lists = new QHBoxLayout(box);
    lists->addWidget(fields, 1);
    lists->addLayout(arrows);
    lists->addWidget(chosen, 1);
    return box;
}

void MoveSelected(QListWidget* from, QListWidget* to) {
    QListWidgetItem* item = from->currentItem();
    if (!item || !item->isSelected()) return;
    to->addItem(from->takeItem(from->row(item)));
}

void MoveAll(QListWidget* from, QListWidget* to) {
    for (int i = from->count() - 1; i >= 0; --i) to->addItem(from->takeItem(i));
}

}  // namespace FieldLists
