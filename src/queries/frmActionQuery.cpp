#include "queries/frmActionQuery.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/sql/sql.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

frmActionQuery::frmActionQuery(QWidget* owner) : QDialog(owner) {
    setObjectName("frmActionQuery");
    setWindowTitle("Run an Action Query");
    cmdOpenDbase = new QPushButton("Open Database", this);
    cmdOpenDbase->setObjectName("cmdOpenDbase");
    auto* lblQueries = new QLabel("Action Queries", this);
    QryList = new QListWidget(this);
    QryList->setObjectName("QryList");
    lblQueries->setBuddy(QryList);
    auto* lblQuery = new QLabel("Selected Query Definition", this);
    txtSQL = new QPlainTextEdit(this);
    txtSQL->setObjectName("txtSQL");
    lblQuery->setBuddy(txtSQL);
    cmdRun = new QPushButton("Run Query", this);
    cmdRun->setObjectName("cmdRun");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    for (QPushButton* b : {cmdOpenDbase, cmdRun, cmdClose}) b->setAutoDefault(false);

    auto* left = new QVBoxLayout;
    left->addWidget(lblQueries);
    left->addWidget(QryList, 1);
    left->addWidget(cmdOpenDbase);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRun);
    buttons->addWidget(cmdClose);
    auto* right = new QVBoxLayout;
    right->addWidget(lblQuery);
    right->addWidget(txtSQL, 1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);

    connect(cmdOpenDbase, &QPushButton::clicked, this, &frmActionQuery::cmdOpenDbase_Click);
    connect(QryList, &QListWidget::itemClicked, this, &frmActionQuery::QryList_Click);
    connect(QryList, &QListWidget::itemDoubleClicked, this, &frmActionQuery::QryList_DblClick);
    connect(cmdRun, &QPushButton::clicked, this, &frmActionQuery::cmdRun_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmActionQuery::cmdClose_Click);
    Form_Load();
}

void frmActionQuery::Form_Load() {
    RecordDialogs::Place(this, 500, 500, 8000, 4000);
    cmdRun->setEnabled(false);
}

void frmActionQuery::cmdOpenDbase_Click() {
    const auto path = Prompts::openDatabase("Open Database");
    if (!path || path->trimmed().isEmpty()) return;  // cancelled: everything stays
    RecordDialogs::Trapped([&] {
        database_ = engine::DBEngine::OpenDatabase(path->toStdString());
        setWindowTitle("Run an Action Query  " + *path);
        QryList->clear();
        txtSQL->clear();
        passThrough_ = false;
        cmdRun->setEnabled(false);
        PopulateTableList();
    });
}

void frmActionQuery::PopulateTableList() {
    QryList->clear();
    for (const auto& q : database_->QueryDefs())
        if (q->Type() != 0 && q->Type() != 128) QryList->addItem(QString::fromStdString(q->Name()));
}

void frmActionQuery::QryList_Click() {
    if (!database_ || !QryList->currentItem()) return;
    RecordDialogs::Trapped([&] {
        const engine::QueryDef& q = database_->QueryDefs()[QryList->currentItem()->text().toStdString()];
        txtSQL->setPlainText(QString::fromStdString(q.SQL()));
        passThrough_ = q.Type() == static_cast<int>(engine::sql::StatementKind::PassThrough);
        passThroughConnect_ = q.Connect();
        cmdRun->setEnabled(true);
    });
}

void frmActionQuery::QryList_DblClick() {
    QryList_Click();
    if (cmdRun->isEnabled()) cmdRun_Click();
}

void frmActionQuery::cmdRun_Click() {
    if (!database_) return;
    if (!RecordDialogs::Trapped([this] {
            RecordDialogs::BusyPointer busy;
            if (!passThrough_) return database_->Execute(txtSQL->toPlainText().toStdString(), engine::dbDenyWrite);
            // Sent as edited, through a query of its own: the saved one stays as it is.
            auto query = database_->CreateQueryDef();
            query->SetConnect(passThroughConnect_);
            query->SetSQL(txtSQL->toPlainText().toStdString());
            query->Execute();
        }))
        return;
    Prompts::message("The Query has finished running.", "Action Query", Prompts::Icon::Information);
    DoClose();
}

void frmActionQuery::DoClose() {
    if (database_) database_->Close();
    database_.reset();
    close();
}

void frmActionQuery::cmdClose_Click() { close(); }
