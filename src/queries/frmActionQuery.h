#pragma once
// Run an Action Query: lists the action queries of a database file chosen
// here and runs the selected one's text, as edited, denying others writes
// while it runs; closes itself after a run that went through. A pass-through
// query's text goes to its own ODBC data source.
#include <QDialog>

#include <memory>

#include "engine/dao.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class frmActionQuery : public QDialog {
    Q_OBJECT
public:
    explicit frmActionQuery(QWidget* owner = nullptr);

    QPushButton* cmdOpenDbase = nullptr;
    QListWidget* QryList = nullptr;
    QPlainTextEdit* txtSQL = nullptr;
    QPushButton* cmdRun = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void cmdOpenDbase_Click();
    void QryList_Click();
    void QryList_DblClick();
    void cmdRun_Click();
    void cmdClose_Click();

private:
    void PopulateTableList();
    void DoClose();

    std::shared_ptr<engine::Database> database_;
    bool passThrough_ = false;        // the selected query is a pass-through query
    std::string passThroughConnect_;  // and its connect string
};
