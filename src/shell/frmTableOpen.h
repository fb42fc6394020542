#pragma once
// The open-recordset dialog: choose a database file, list its tables or its
// select and union queries, and open one into the selected work area.
#include <QDialog>
#include <QVariant>

#include <array>
#include <memory>

#include "engine/dao.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmTableOpen : public QDialog {
    Q_OBJECT
public:
    explicit frmTableOpen(QWidget* parent = nullptr);

    // Members that keep their values for the whole run, also between showings.
    struct Members {
        std::shared_ptr<engine::Database> database;
        QVariant DBPath;
        QVariant RSSource, RSName, TableorQueryName;
        QString LastDatabase;
        short datasource = 0;
    };
    static Members& State();
    bool isopen = false;

    // Controls.
    QGroupBox* frameSource = nullptr;
    std::array<QRadioButton*, 3> optSource{};  // indexes 1 "Tables" and 2 "Queries"
    QListWidget* QryList = nullptr;
    QPlainTextEdit* txtSQL = nullptr;
    QPushButton* cmdOpenDbase = nullptr;
    QPushButton* cmdOpenRecordset = nullptr;
    QPushButton* cmdClose = nullptr;
    // Shown for a file of the older Jet format, which is only read.
    QPushButton* cmdSaveCopy = nullptr;

    void Form_Load();
    void cmdOpenDbase_Click();
    void optSource_GotFocus(int Index);  // the user chose option Index
    void QryList_Click();
    void cmdOpenRecordset_Click();
    void cmdClose_Click();
    void cmdSaveCopy_Click();

    QString FileOpen();
    void PopulateTableList(int which);
    static QString DBName(const QString& path);
    void MakeGrid(const QVariant& DBPath, const QVariant& RSSource, const QVariant& RSName,
                  const QVariant& datasource, const QVariant& TableorQueryName);
    QVariant UsePassword();
    void DoClose();

    // Where the file dialog starts when no file was chosen yet.
    static QString SamplesFolder();

private:
    void continueOpen(const QString& path);
    static bool DatabaseOpen();
    // Opens DBPath again (asking for the password when the engine wants one);
    // false after saying why it could not.
    bool ReopenDatabase();
};
