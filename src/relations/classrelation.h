#pragma once
// One parent/child link between two grid windows, owned by the parent's
// ColRelations. Plain record: public fields only.
#include <QString>

class frmGrid;

class ClassRelation {
public:
    QString RelationType;  // "ChildIndex", "ChildQuery" or "Parent" (a tree root only)
    QString DisplayName;   // "Parent" records: the root grid's statusname
    frmGrid* Child = nullptr;
    QString ChildField1, ChildField2, ChildField3;
    QString ParentField1, ParentField2;
    QString ParentField3;
    short UniqueIndexNo = 0;
};
