#include "shell/getgrid.h"

#include "grids/workareas.h"

namespace GetGrid {

frmGrid* GetGridWindow(const QVariant& slot) {
    switch (slot.typeId()) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        break;
    default:
        return nullptr;
    }
    bool ok = false;
    double v = slot.toDouble(&ok);
    if (!ok) return nullptr;
    for (int k = 0; k < 12; ++k)
        if (v == k) return moduleCreateGrid::WorkAreas[static_cast<size_t>(k)];
    return nullptr;
}

}  // namespace GetGrid
