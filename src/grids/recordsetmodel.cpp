#include "grids/recordsetmodel.h"

#include "shell/prompts.h"

using engine::Error;
using engine::Variant;

void RecordsetModel::setRecordset(std::shared_ptr<engine::Recordset> rs) {
    beginResetModel();
    rs_ = std::move(rs);
    rows_ = rs_ && rs_->IsOpen() ? static_cast<int>(rs_->RecordCount()) : 0;
    columns_ = rs_ && rs_->IsOpen() ? rs_->Fields().Count() : 0;
    endResetModel();
}

void RecordsetModel::reload() { setRecordset(rs_); }

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QString RecordsetModel::cellText(const Variant& v) {
    if (v.kind() == Variant::Kind::Binary) return QStringLiteral("(binary data)");
    return QString::fromStdString(v.toText());
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!rs_ || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    try {
        const std::vector<Variant>* row = rs_->RowAt(index.row());
        if (!row) return QStringLiteral("#Deleted");
        return cellText((*row)[static_cast<size_t>(index.column())]);
    } catch (const Error&) {
        return QStringLiteral("#Error");
    }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !rs_) return {};
    if (orientation == Qt::Vertical) return {};
    if (section < 0 || section >= columns_) return {};
    return QString::fromStdString(rs_->Fields(section).Name());
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!rs_ || !index.isValid()) return f;
    if (rs_->Updatable() && (rs_->Fields(index.column()).Attributes() & engine::dbUpdatableField)) f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!rs_ || !index.isValid() || role != Qt::EditRole) return false;
    try {
        if (rs_->AbsolutePosition() != index.row()) rs_->SetAbsolutePosition(index.row());
        const engine::Field& field = rs_->Fields(index.column());
        Variant typed = Variant::fromText(value.toString().toStdString(), field.Type());
        rs_->Edit();
        rs_->Fields(index.column()).SetValue(typed);
        rs_->Update();
    } catch (const Error& e) {
        // The value is refused: say why; the cell shows the stored value again.
        try {
            if (rs_->EditMode() != engine::dbEditNone) rs_->CancelUpdate();
        } catch (const Error&) {
        }
        Prompts::message(QString::fromStdString(e.description()));
        return false;
    }
    emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columns_ - 1));
    return true;
}
