#include "grids/columnwidths.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

#include "engine/dao.h"
#include "shell/twips.h"

namespace GridColumns {

double Fit(QTableView* view, engine::Recordset& rs) {
    QFontMetrics fm(view->font());
    QFontMetrics hfm(view->horizontalHeader()->font());
    int charWidth = fm.horizontalAdvance(QLatin1Char('0'));
    double total = 0;
    const int columns = view->model() ? view->model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        const engine::Field& f = rs.Fields(c);
        int chars;
        switch (f.Type()) {
        case engine::dbText:
        case engine::dbChar: chars = std::clamp(f.Size(), 4, 30); break;
        case engine::dbMemo: chars = 30; break;
        case engine::dbDate: chars = 19; break;
        case engine::dbGUID: chars = 38; break;
        case engine::dbBoolean: chars = 5; break;
        case engine::dbByte: chars = 4; break;
        case engine::dbInteger: chars = 6; break;
        default: chars = 11; break;
        }
        int px = std::max(charWidth * chars, hfm.horizontalAdvance(QString::fromStdString(f.Name()))) + 12;
        view->setColumnWidth(c, px);
        total += Twips::fromPixelsX(px);
    }
    return total;
}

}  // namespace GridColumns
