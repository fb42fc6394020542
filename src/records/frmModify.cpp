#include "records/frmModify.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/clausebuilder.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

frmModify::frmModify(QWidget* owner) : QDialog(owner) {
    setObjectName("frmModify");
    txtSelect = new QPlainTextEdit(this);
    txtSelect->setObjectName("txtSelect");
    txtSelect->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtSelect->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    builder = new ClauseBuilder(this, ClauseBuilder::Set::Select);
    builder->target = [this] { return txtSelect; };
    cmdSet = new QPushButton("OK", this);
    cmdSet->setObjectName("cmdSet");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    for (QPushButton* b : {cmdSet, cmdClose}) b->setAutoDefault(false);
    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSet);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtSelect, 1);
    layout->addLayout(combos);
    layout->addLayout(buttons);
    connect(cmdSet, &QPushButton::clicked, this, &frmModify::cmdSet_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmModify::cmdClose_Click);
    Form_Load();
}

void frmModify::Form_Load() {
    RecordDialogs::Place(this, 500, 1500, 6885, 4395);
    grid_ = RecordDialogs::CurrentGrid();
    if (!grid_) return;
    setWindowTitle("Modify  " + grid_->statusname.toString());
    // The saved query's fields; a statement typed rather than saved offers the grid's own.
    QStringList names;
    try {
        auto query = grid_->db1->QueryDefs().Find(grid_->TableName.toString().toStdString());
        if (query) {
            for (const auto& f : query->Fields()) names << QString::fromStdString(f->Name());
        } else if (const auto& rs = grid_->Data1->Recordset()) {
            for (const auto& f : rs->Fields()) names << QString::fromStdString(f->Name());
        }
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
    builder->LoadFields(names);
    txtSelect->setPlainText(grid_->Fullclause.toString());
    txtSelect->setFocus();
}

void frmModify::cmdSet_Click() {
    if (!grid_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        QString text = txtSelect->toPlainText().trimmed();
        if (text.endsWith(',')) text.chop(1);
        grid_->OriginalRSSource = text;
        grid_->ParseRSSource();
        grid_->NeedsRefresh();  // says what the engine refused, with " Check your syntax."
        QApplication::restoreOverrideCursor();
        if (grid_->successful.toBool()) done(QDialog::Accepted);
    } catch (const engine::Error& e) {
        QApplication::restoreOverrideCursor();
        Prompts::message(QString::fromStdString(e.description()));
    }
}

void frmModify::cmdClose_Click() { done(QDialog::Rejected); }
