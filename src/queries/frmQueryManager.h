#pragma once
// Query Manager: an MDI child that lists the saved queries of a database file
// chosen here, shows and edits the text of one, tests a select query by
// opening it, saves the text back under its name, or deletes the query.
#include <QWidget>

#include <memory>

#include "engine/dao.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

class frmQueryManager : public QWidget {
    Q_OBJECT
public:
    explicit frmQueryManager(QWidget* parent = nullptr);
    ~frmQueryManager() override;

    QPushButton* cmdChooseDatabase = nullptr;
    QListWidget* lstQueries = nullptr;
    QPlainTextEdit* txtSelect = nullptr;
    QPushButton *cmdTest = nullptr, *cmdSave = nullptr, *cmdDelete = nullptr, *cmdClose = nullptr;

    void Form_Load();
    void cmdChooseDatabase_Click();
    void lstQueries_Click();
    void cmdTest_Click();
    void cmdSave_Click();
    void cmdDelete_Click();
    void cmdClose_Click();

    std::shared_ptr<engine::Database> dbQuery;
    std::shared_ptr<engine::Recordset> rsTest;

private:
    QString FileOpen();
    void listQueries();
    // The selected query's name, or empty after "Please select a query first.".
    QString selected();
};
