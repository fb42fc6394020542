#pragma once
// The grid's model: rows come from the recordset's page cache, only those on
// screen are ever read, and cells edited in place are written at once.
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
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static QString cellText(const engine::Variant& v);

private:
    std::shared_ptr<engine::Recordset> rs_;
    int rows_ = 0;
    int columns_ = 0;
};
