#pragma once
// Copy to a Table: copies chosen fields of the current grid's records into a
// new table of the same database, by one INSERT … SELECT (All, Where) or
// record by record from the current record (Next).
#include <QDialog>

#include <array>
#include <memory>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;
namespace engine {
class Recordset;
}

class frmCopytoTable : public QDialog {
    Q_OBJECT
public:
    explicit frmCopytoTable(QWidget* owner = nullptr);

    QLineEdit* txtTableName = nullptr;
    QListWidget* lstFields = nullptr;      // fields not chosen
    QListWidget* lstCopyFields = nullptr;  // fields to copy, in column order
    QPushButton *cmdAdd = nullptr, *cmdRemove = nullptr, *cmdAddAll = nullptr, *cmdRemoveAll = nullptr;
    std::array<QRadioButton*, 4> optScope{};  // 0 All, 1 Next, 3 Where; there is no 2
    QLineEdit* txtRestNumber = nullptr;
    QPlainTextEdit* txtWhere = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void optScope_Click();
    void LoadFields();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdAddAll_Click();
    void cmdRemoveAll_Click();
    void cmdCopy_Click();
    void cmdCancel_Click();

    // Built by MakeCommand.
    QString CreateTableCommand, InsertIntoCommand, SelectString, TotalString;

private:
    void MakeCommand();
    void CopyRecords();

    frmGrid* CurrentGrid = nullptr;
    std::shared_ptr<engine::Recordset> NewTable;
};
