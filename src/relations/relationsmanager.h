#pragma once
// Relations between open grids: numbering, HasParent and the relations tree.
namespace RelationsManager {
// Recomputes every grid's HasParent and rebuilds the relations tree.
void RefreshRelations();
}  // namespace RelationsManager
