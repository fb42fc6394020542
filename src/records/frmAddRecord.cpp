#include "records/frmAddRecord.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "transfer/moduleCreateTable.h"

namespace {
const char* const kScratchTable = "TempAddsTable";
}

frmAddRecord::frmAddRecord(QWidget* owner) : QDialog(owner) {
    setObjectName("frmAddRecord");
    TxtNumber = new QLineEdit("1", this);
    TxtNumber->setObjectName("TxtNumber");
    auto* values = new QGroupBox("Field Values", this);
    auto* valuesLayout = new QVBoxLayout(values);
    const char* captions[] = {"Blank Record", "Copy Record"};
    for (int i = 0; i < 2; ++i) {
        OptValues[static_cast<size_t>(i)] = new QRadioButton(captions[i], values);
        OptValues[static_cast<size_t>(i)]->setObjectName(QString("OptValues%1").arg(i));
        valuesLayout->addWidget(OptValues[static_cast<size_t>(i)]);
    }
    cmdCopy = new QPushButton("Add", this);
    cmdCopy->setObjectName("cmdCopy");
    cmdCopy->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setAutoDefault(false);
    auto* number = new QHBoxLayout;
    auto* label = new QLabel("Number of Records", this);
    label->setBuddy(TxtNumber);
    number->addWidget(label);
    number->addWidget(TxtNumber);
    auto* left = new QVBoxLayout;
    left->addLayout(number);
    left->addWidget(values);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    connect(cmdCopy, &QPushButton::clicked, this, &frmAddRecord::cmdCopy_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAddRecord::cmdCancel_Click);
    Form_Load();
}

frmAddRecord::~frmAddRecord() {
    if (!unloaded_) DeleteTempTable();
}

void frmAddRecord::Form_Load() {
    RecordDialogs::Place(this, 1000, 2000, 6420, 2280);
    grid_ = RecordDialogs::CurrentGrid();
    OptValues[0]->setChecked(true);
    TxtNumber->setText("1");
    TxtNumber->selectAll();
    TxtNumber->setFocus();
    setWindowTitle("Add Records   " + (grid_ ? grid_->statusname.toString() : QString()));
    try {
        scratch_ = RecordDialogs::OpenScratch();
        DeleteTempTable();
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

QString frmAddRecord::MakeCommand(const QString& tableName) const {
    QString sql = " CREATE TABLE " + tableName + " (";
    for (const auto& f : grid_->Data1->Recordset()->Fields()) {
        QString name = QString::fromStdString(f->Name());
        QString column = name.contains(' ') ? "[" + name + "]" : name;
        QString word = moduleCreateTable::GetTypeName(f->Type());
        sql += word == "Text" ? column + " Text (" + QString::number(f->Size()) + "), " : column + " " + word + ", ";
    }
    sql.chop(2);
    return sql + ")";
}

void frmAddRecord::PopulateTable() {
    if (scratchRow_->RecordCount() == 0) {
        scratchRow_->AddNew();
        scratchRow_->Update();
    }
    scratchRow_->MoveFirst();
    scratchRow_->Edit();
    const auto& rs = grid_->Data1->Recordset();
    for (const auto& f : rs->Fields()) scratchRow_->Fields(f->Name()).SetValue(f->Value());
    scratchRow_->Update();
    scratchRow_->MoveFirst();
}

void frmAddRecord::status(long count) {
    RecordDialogs::Status("  " + grid_->statusname.toString() + "  " + QString::number(grid_->rs1->RecordCount()) +
                          "  Records  " + QString::number(count) + "  Records Added");
}

void frmAddRecord::cmdCopy_Click() {
    if (!grid_ || !grid_->Data1->Recordset()) return;
    const auto rs = grid_->Data1->Recordset();
    long count = 0;
    try {
        bool ok = false;
        const short n = TxtNumber->text().trimmed().toShort(&ok);
        if (!ok) throw engine::Error(13, "Type mismatch: '" + TxtNumber->text().toStdString() + "' is not a number of records from 0 to 32767.");
        hide();
        const bool copy = OptValues[1]->isChecked();
        if (copy) {
            DeleteTempTable();
            scratch_->Execute(MakeCommand(kScratchTable).toStdString());
            scratchRow_ = scratch_->OpenRecordset(kScratchTable);
            PopulateTable();
        }
        RecordDialogs::BusyPointer busy;
        RecordDialogs::Progress progress(n);
        RecordDialogs::RunTransaction run(*grid_->db1);
        for (short i = 1; i <= n; ++i) {
            rs->AddNew();
            if (copy) {
                // Fields the engine fills (an AutoNumber) or computes keep their own values.
                for (const auto& f : rs->Fields())
                    if (f->Attributes() & engine::dbUpdatableField) f->SetValue(scratchRow_->Fields(f->Name()).Value());
            }
            count = i;
            if (count % 200 == 0)
                progress.Report(count, "  " + grid_->statusname.toString() + "  " + QString::number(count) + "  Records Added");
            rs->Update();
        }
        if (scratchRow_) scratchRow_->Close();
        scratchRow_.reset();
    } catch (const engine::Error& e) {
        if (rs->EditMode() != engine::dbEditNone) rs->CancelUpdate();
        // Those added before the one that failed stay added.
        Prompts::message(QString::fromStdString(e.description()));
        grid_->Data1->Refresh();
        done(QDialog::Rejected);
        return;
    }
    grid_->Data1->Refresh();
    status(count);
    done(QDialog::Accepted);
}

void frmAddRecord::cmdCancel_Click() { done(QDialog::Rejected); }

void frmAddRecord::done(int result) {
    if (!unloaded_) {
        unloaded_ = true;
        DeleteTempTable();
        if (scratch_) scratch_->Close();
    }
    QDialog::done(result);
}

void frmAddRecord::DeleteTempTable() {
    if (scratch_) RecordDialogs::DropScratchTable(*scratch_, kScratchTable, scratchRow_);
}
