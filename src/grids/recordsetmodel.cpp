#include "grids/recordsetmodel.h"

using engine::Error;
using engine::Variant;

namespace {

const QString kZeroLength = QStringLiteral("\"\"");

bool isTextType(int type) { return type == engine::dbText || type == engine::dbMemo || type == engine::dbChar; }
bool isBinaryType(int type) {
    return type == engine::dbBinary || type == engine::dbLongBinary || type == engine::dbVarBinary;
}

// What a typed text stores in a field of this type.
Variant typedValue(const QString& typed, int type) {
    if (typed.isEmpty()) return Variant();
    if (typed == kZeroLength && isTextType(type)) return Variant::text("");
    return Variant::fromText(typed.toStdString(), type);
}

// The engine's conversion errors do not know the field or the value: say both.
QString refusal(const Error& e, const engine::Field& field, const QString& typed) {
    const QString name = QString::fromStdString(field.Name());
    const QString type = QString::fromStdString(engine::userTypeName(field.Type()));
    if (e.number() == engine::err::ConversionError)
        return "'" + typed + "' is not a valid " + type + " for field '" + name + "'.";
    if (e.number() == engine::err::ValueOutOfRange)
        return "'" + typed + "' is out of range for field '" + name + "' (" + type + ").";
    return QString::fromStdString(e.description());
}

}  // namespace

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
        const Variant& v = (*row)[static_cast<size_t>(index.column())];
        if (role == Qt::EditRole && v.isText() && v.bytes().empty()) return kZeroLength;
        return cellText(v);
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
    if (rs_ && index.isValid() && rs_->IsOpen() && canEdit(index.column())) f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::canEdit(int column) const {
    const engine::Field& field = rs_->Fields(column);
    return rs_->Updatable() && (field.Attributes() & engine::dbUpdatableField) && !isBinaryType(field.Type());
}

QString RecordsetModel::readOnlyReason(const QModelIndex& index) const {
    if (!rs_ || !rs_->IsOpen() || !index.isValid() || canEdit(index.column())) return {};
    if (!rs_->Updatable()) {
        if (rs_->Type() == engine::dbOpenTable) return QStringLiteral("This table is read-only.");
        return QStringLiteral("Read-only: the records of a query that joins tables, groups records or combines "
                              "results cannot be changed.");
    }
    const engine::Field& field = rs_->Fields(index.column());
    const QString name = QString::fromStdString(field.Name());
    if (field.Attributes() & engine::dbAutoIncrField)
        return "Field '" + name + "' is numbered automatically and cannot be changed.";
    if (field.SourceField().empty()) return "Field '" + name + "' is calculated by the query and cannot be changed.";
    if (isBinaryType(field.Type())) return "Field '" + name + "' holds binary data, which cannot be typed in.";
    return "Field '" + name + "' cannot be changed.";
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!rs_ || !index.isValid() || role != Qt::EditRole) return false;
    const QString typed = value.toString();
    // An editor closed without a change writes nothing.
    if (typed == data(index, Qt::EditRole).toString()) return false;
    engine::Field& field = rs_->Fields(index.column());
    try {
        if (rs_->AbsolutePosition() != index.row()) rs_->SetAbsolutePosition(index.row());
        Variant v = typedValue(typed, field.Type());
        rs_->Edit();
        field.SetValue(v);
        rs_->Update();
    } catch (const Error& e) {
        // The cell shows the stored value again; the grid window says why.
        try {
            if (rs_->EditMode() != engine::dbEditNone) rs_->CancelUpdate();
        } catch (const Error&) {
        }
        emit editRefused(refusal(e, field, typed));
        return false;
    }
    emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columns_ - 1));
    return true;
}
