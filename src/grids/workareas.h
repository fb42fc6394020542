#pragma once
// The work-area registry: twelve slots A–L, each empty or holding one grid
// window, and the slot selected in the database window.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>

class frmGrid;

namespace moduleCreateGrid {

extern std::array<frmGrid*, 12> WorkAreas;
extern short CurrentWA;

// Every grid window that exists, in the order the windows were made (a grid
// adds itself when made and leaves when destroyed).
QList<frmGrid*>& LoadedGrids();

// "A" for slot 0 … "L" for slot 11.
QString Letter(int slot);

// Opens a grid window in slot CurrentWA, closing any grid there first.
// Success is read afterwards from the new window's `successful`.
void CreateGrid(const QVariant& DBasePath, const QVariant& RSDescription, const QVariant& RSName,
                const QVariant& RSType, const QVariant& TableorQueryName);

// Closes the grid window of a slot as the database window's Close does
// (relations naming it go, its line shows the placeholder again). The slot's
// line is selected first, so the next CreateGrid fills the same slot.
void CloseGrid(int slot);

// Selects a slot's line as a click in the database window does: its grid
// (or nothing, for an empty slot) becomes the current grid.
void SelectSlot(int slot);
// The twelve lines of the database window's work-area list, as it shows them.
QStringList SlotLines();

// The start procedure: creates and shows the main window.
void Main();

}  // namespace moduleCreateGrid
