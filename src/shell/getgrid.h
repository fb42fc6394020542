#pragma once
#include <QVariant>

class frmGrid;

namespace GetGrid {
// The grid window of work-area slot 0–11, or nullptr for an empty slot, a
// number outside 0–11 or a value that is no number.
frmGrid* GetGridWindow(const QVariant& slot);
}  // namespace GetGrid
