#include "queries/frmQueryManager.h"

#include <QFont>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "queries/querywidgets.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"
#include "shell/twips.h"

frmQueryManager::frmQueryManager(QWidget* parent) : QWidget(parent) {
    setObjectName("frmQueryManager");
    setWindowTitle("Query Manager");
    cmdChooseDatabase = new QPushButton("Choose Database", this);
    cmdChooseDatabase->setObjectName("cmdChooseDatabase");
    lstQueries = new QListWidget(this);
    lstQueries->setObjectName("lstQueries");
    txtSelect = QueryWidgets::StatementBox(this);
    cmdTest = QueryWidgets::TestButton(this);
    cmdSave = QueryWidgets::SaveButton(this);
    cmdDelete = new QPushButton("Delete", this);
    cmdDelete->setObjectName("cmdDelete");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");

    auto* left = new QVBoxLayout;
    left->addWidget(lstQueries, 1);
    left->addWidget(cmdChooseDatabase);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdTest, cmdSave, cmdDelete, cmdClose}) buttons->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addWidget(txtSelect, 1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);

    connect(cmdChooseDatabase, &QPushButton::clicked, this, &frmQueryManager::cmdChooseDatabase_Click);
    connect(lstQueries, &QListWidget::itemClicked, this, &frmQueryManager::lstQueries_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmQueryManager::cmdTest_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmQueryManager::cmdSave_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmQueryManager::cmdDelete_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmQueryManager::cmdClose_Click);
}

frmQueryManager::~frmQueryManager() {
    try {
        if (rsTest) rsTest->Close();
        if (dbQuery) dbQuery->Close();
    } catch (const engine::Error&) {
        // Already gone.
    }
}

void frmQueryManager::Form_Load() {
    QWidget* frame = parentWidget() ? parentWidget() : this;
    frame->setGeometry(Twips::toPixelsX(1000), Twips::toPixelsY(1500), Twips::toPixelsX(8490), Twips::toPixelsY(4215));
    dbQuery.reset();
    rsTest.reset();
}

QString frmQueryManager::FileOpen() {
    return Prompts::openDatabase().value_or(QString());
}

void frmQueryManager::listQueries() {
    lstQueries->clear();
    dbQuery->QueryDefs().Refresh();
    for (const auto& q : dbQuery->QueryDefs()) lstQueries->addItem(QString::fromStdString(q->Name()));
}

void frmQueryManager::cmdChooseDatabase_Click() {
    const QString path = FileOpen();
    if (path.trimmed().isEmpty()) return;
    RecordDialogs::Trapped([&] {
        dbQuery = engine::DBEngine::OpenDatabase(path.toStdString());
        setWindowTitle("Query Manager  " + path);
        txtSelect->clear();
        listQueries();
    });
}

void frmQueryManager::lstQueries_Click() {
    const QString name = lstQueries->currentItem() ? lstQueries->currentItem()->text() : QString();
    if (name.isEmpty() || !dbQuery) return;
    RecordDialogs::Trapped([&] {
        engine::QueryDef& q = dbQuery->QueryDefs()[name.toStdString()];
        txtSelect->setPlainText(QString::fromStdString(q.SQL()));
        cmdTest->setEnabled(q.Type() == 0);
    });
}

QString frmQueryManager::selected() {
    if (lstQueries->currentRow() < 0 || !dbQuery) {
        Prompts::message("Please select a query first.", "Error", Prompts::Icon::Exclamation);
        return {};
    }
    return lstQueries->currentItem()->text();
}

void frmQueryManager::cmdTest_Click() {
    if (selected().isEmpty()) return;
    if (RecordDialogs::Trapped([this] {
            RecordDialogs::BusyPointer busy;
            rsTest = dbQuery->OpenRecordset(txtSelect->toPlainText().trimmed().toStdString());
        }))
        Prompts::message("Successful.", Prompts::kAppTitle, Prompts::Icon::Information);
}

void frmQueryManager::cmdSave_Click() {
    const QString name = selected();
    if (name.isEmpty()) return;
    // The text replaces the old one only once the engine has accepted it:
    // a refused text leaves the saved query as it was.
    if (RecordDialogs::Trapped([&] {
            dbQuery->QueryDefs()[name.toStdString()].SetSQL(txtSelect->toPlainText().trimmed().toStdString());
        }))
        Prompts::message("Query successfully saved.", "Query Manager", Prompts::Icon::Information);
}

void frmQueryManager::cmdDelete_Click() {
    const QString name = selected();
    if (name.isEmpty()) return;
    RecordDialogs::Trapped([&] {
        dbQuery->QueryDefs().Delete(name.toStdString());
        listQueries();
        txtSelect->clear();
    });
}

void frmQueryManager::cmdClose_Click() {
    if (rsTest) rsTest->Close();
    rsTest.reset();
    if (dbQuery) dbQuery->Close();
    dbQuery.reset();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->close();
    else close();
}
