#pragma once
// Add Records: appends N new records to the current grid, blank or copies of
// its current record (kept meanwhile in a one-row scratch table).
#include <QDialog>

#include <array>
#include <memory>

#include "engine/dao.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmAddRecord : public QDialog {
    Q_OBJECT
public:
    explicit frmAddRecord(QWidget* owner = nullptr);
    ~frmAddRecord() override;

    QLineEdit* TxtNumber = nullptr;
    std::array<QRadioButton*, 2> OptValues{};  // Blank Record, Copy Record
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void cmdCopy_Click();
    void cmdCancel_Click();
    // " CREATE TABLE name (...)" with a column for each field of the grid's recordset.
    QString MakeCommand(const QString& tableName) const;
    void PopulateTable();
    void DeleteTempTable();

protected:
    void done(int result) override;

private:
    void status(long count);
    frmGrid* grid_ = nullptr;
    std::shared_ptr<engine::Database> scratch_;
    std::shared_ptr<engine::Recordset> scratchRow_;
    bool unloaded_ = false;
};
