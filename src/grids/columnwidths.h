#pragma once
// Column widths of a recordset grid, from the field types and sizes and the
// column captions, so every grid window sizes its columns alike.
class QTableView;

namespace engine {
class Recordset;
}

namespace GridColumns {
// Sets the width of each of the view's columns and returns their sum in twips.
double Fit(QTableView* view, engine::Recordset& rs);
}  // namespace GridColumns
