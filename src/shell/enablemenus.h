#pragma once
// Which commands are enabled follows the kind of the current window.
#include <QVariant>

namespace EnableMenus {

// Enables the eleven common grid commands and those of the grid's kind;
// never disables anything.
void EnableGridMenus(const QVariant& RSetType);
// Disables all eighteen grid commands.
void DisableGridMenus();
void EnableDocumentMenus();
void DisableDocumentMenus();
void ResetFormatButtons();
// The recent-recordset list of the File menu.
void SaveRecentRecordset();
void LoadRecentMenu();

}  // namespace EnableMenus
