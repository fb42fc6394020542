#pragma once
// Import a FoxPro table: copies the rows of a .dbf file, read through the
// engine's ODBC workspace, into a new table of a database file chosen in the
// dialog. Modeless, and independent of the grid windows.
#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "engine/dao.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmImportTo2000 : public QDialog {
    Q_OBJECT
public:
    explicit frmImportTo2000(QWidget* owner = nullptr);
    ~frmImportTo2000() override;

    // The one dialog of the run, shown and brought to the front.
    static frmImportTo2000* ShowDialog(QWidget* owner);

    QPushButton* cmdDatabase = nullptr;
    QPushButton* cmdTable = nullptr;
    QLabel* lblName = nullptr;
    QLineEdit* txtName = nullptr;
    // The code page of tables whose header names none (most dBASE III files);
    // item data is the code page's name, "" for the default, Windows-1252.
    QLabel* lblEncoding = nullptr;
    QComboBox* cboEncoding = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

    QString mstrDatabasePath;  // the target database file
    QString mstrDBFPath;       // the .dbf file
    QString DBFPath;           // its folder
    QString curfile;           // its file name

    std::shared_ptr<engine::Workspace> wrkODBC;
    std::shared_ptr<engine::OdbcConnection> conCfg;
    std::shared_ptr<engine::OdbcRecordset> rsDBF;
    std::shared_ptr<engine::Database> dbAccess;
    std::shared_ptr<engine::Recordset> rsDB;

    void Form_Load();
    // The file chosen in the open dialog: "TypeMDB" for a database, anything
    // else for a table. Cancelling gives nothing.
    std::optional<QString> FileOpen(const QString& PassedFileType);
    void cmdDatabase_Click();
    void cmdTable_Click();
    void cmdImport_Click();
    void cmdCancel_Click();

    // The statement MakeCommand built last.
    QString CreateStatement;

private:
    void SetuprsDBF(const QString& path);
    void MakeCommand(const QString& tableName);
    void CopyRecords();
    // Lets go of the source, the connection, the workspace and the target.
    void CloseAll();

    QString lastFile_;        // where the file dialog starts
    QStringList columns_;     // the new table's column for each source field, in order
};
