#pragma once
// Relations between open grids: HasParent, the numbering of the relations
// tree, and deleting a relation by its node number.
#include <QList>
#include <QVariant>

class ClassRelation;
class QTreeWidget;
class QTreeWidgetItem;

namespace RelationsManager {

// Every record with a node in the relations tree, in node order: record k
// (1-based) has UniqueIndexNo k. "Parent" records are owned here; the others
// belong to their parent grid's ColRelations.
extern QList<ClassRelation*> TreeRelations;

// Recomputes every grid's HasParent, renumbers the relations and rebuilds
// TreeRelations and the relations tree.
void RefreshRelations();
// Removes the relation numbered `nodeNo`; "Not a Child." when none is.
void DeleteRelation(const QVariant& nodeNo);
// The node number of the database window's ParentGrid (as a root or as a
// relation's child); 0 when it has none.
int FindRelationNode();

// Tree nodes carry their key ("'k'") and their position in the order they were added.
QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* under, int number, const QString& text);
int NodeCount(QTreeWidget* tree);
QTreeWidgetItem* NodeByNumber(QTreeWidget* tree, int number);
int NodeNumber(const QTreeWidgetItem* node);

}  // namespace RelationsManager
