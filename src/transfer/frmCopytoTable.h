#pragma once
// Copy to a Table: copies chosen fields of the current grid's records into a
// new table of the same database, by one INSERT … SELECT (All, Where) or
// record by record from the current record (Next). A grid whose database can
// only be read copies into another database the user chooses; its statement
// reads the grid's table through a temporary link.
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
class Database;
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

    // Built by MakeCommand; TotalString, the whole INSERT … SELECT, by CopyRecords.
    QString CreateTableCommand, InsertIntoCommand, SelectString, TotalString;

private:
    // Makes the new table in `db` and copies the records; false when the user
    // stopped or an error was shown.
    bool copyInto(engine::Database& db);
    void MakeCommand();
    // `from`: the table the statement of All and Where reads (the grid's, or a link to it).
    void CopyRecords(engine::Database& db, const QString& from);

    frmGrid* CurrentGrid = nullptr;
    std::shared_ptr<engine::Recordset> NewTable;
};
