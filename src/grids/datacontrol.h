#pragma once
// Data1: owns a grid's recordset and tells the grid when it is re-bound, when
// code moved it, or when its rows changed.
#include <QObject>
#include <QString>

#include <memory>

#include "engine/dao.h"

class DataControl : public QObject {
    Q_OBJECT
public:
    explicit DataControl(QObject* parent = nullptr) : QObject(parent) {}

    const std::shared_ptr<engine::Recordset>& Recordset() const { return recordset_; }
    void SetRecordset(std::shared_ptr<engine::Recordset> rs) {
        recordset_ = std::move(rs);
        emit rebound();
    }
    // 0: move to the last record when the user goes past the end.
    int EOFAction = 0;
    // The database the recordset comes from (the grid's db1), and its file.
    const std::shared_ptr<engine::Database>& Database() const { return database_; }
    void SetDatabase(std::shared_ptr<engine::Database> db) { database_ = std::move(db); }
    QString DatabaseName;

    // The grid redraws from the recordset (rows added, deleted or changed).
    void Refresh() { emit refreshed(); }
    // Code moved the recordset (bookmark, find, seek): the grid follows.
    void NotifyMoved() { emit moved(); }

signals:
    void rebound();
    void refreshed();
    void moved();

private:
    std::shared_ptr<engine::Recordset> recordset_;
    std::shared_ptr<engine::Database> database_;
};
