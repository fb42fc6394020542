#pragma once
// The grid's model: rows come from the recordset's page cache, only those on
// screen are ever read, and cells edited in place are written at once. A value
// the engine refuses is reported to the grid window, which says why.
#include <QAbstractTableModel>

#include <memory>

#include "engine/dao.h"

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setRecordset(std::shared_ptr<engine::Recordset> rs);
    // Re-reads the count and redraws (after rows were added or deleted).
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // The edit text of a zero-length string is "" (two double quotes), that of
    // Null is empty, so that what the editor shows is what it stores.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An emptied cell stores Null; "" stores a zero-length string; anything
    // else is converted to the field's type.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Why the cell cannot be changed, or "" when it can.
    QString readOnlyReason(const QModelIndex& index) const;

    static QString cellText(const engine::Variant& v);

signals:
    // A typed value was refused; the text names the field and the reason.
    void editRefused(const QString& message);

private:
    bool canEdit(int column) const;

    std::shared_ptr<engine::Recordset> rs_;
    int rows_ = 0;
    int columns_ = 0;
};
