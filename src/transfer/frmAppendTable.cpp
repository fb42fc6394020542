#include "transfer/frmAppendTable.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "engine/dao.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"
#include "transfer/templink.h"

namespace {

constexpr int kAll = 0, kWhere = 1;

}  // namespace

frmAppendTable::frmAppendTable(QWidget* owner) : QDialog(owner) {
    setObjectName("frmAppendTable");
    setWindowTitle("Append from Table");
    auto* lblFrom = new QLabel("From", this);
    lstTable = new QListWidget(this);
    lstTable->setObjectName("lstTable");
    lstTable->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblFrom->setBuddy(lstTable);

    auto* scope = new QGroupBox("Scope", this);
    auto* scopeLayout = new QVBoxLayout(scope);
    const char* captions[] = {"All", "Where"};
    for (int i : {kAll, kWhere}) {
        auto* b = new QRadioButton(captions[i], scope);
        b->setObjectName(QString("optScope%1").arg(i));
        optScope[static_cast<size_t>(i)] = b;
        scopeLayout->addWidget(b);
        connect(b, &QRadioButton::clicked, this, &frmAppendTable::optScope_Click);
    }
    auto* lblWhere = new QLabel("Where", this);
    txtWhere = new QPlainTextEdit(this);
    txtWhere->setObjectName("txtWhere");
    lblWhere->setBuddy(txtWhere);

    cmdAppend = new QPushButton("Append", this);
    cmdAppend->setObjectName("cmdAppend");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdAppend, cmdCancel}) b->setAutoDefault(false);

    auto* left = new QVBoxLayout;
    left->addWidget(lblFrom);
    left->addWidget(lstTable, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(scope);
    right->addWidget(lblWhere);
    right->addWidget(txtWhere, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdAppend);
    buttons->addWidget(cmdCancel);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    connect(lstTable, &QListWidget::itemClicked, this, &frmAppendTable::lstTable_Click);
    connect(cmdAppend, &QPushButton::clicked, this, &frmAppendTable::cmdAppend_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAppendTable::cmdCancel_Click);
    Form_Load();
}

void frmAppendTable::Form_Load() {
    RecordDialogs::Place(this, 600, 1200, 7800, 4200);
    txtWhere->clear();
    DestinationGrid = RecordDialogs::CurrentGrid();
    setWindowTitle("Append from Table   Appending into " +
                   (DestinationGrid ? DestinationGrid->statusname.toString() : QString()));
    lstTable->clear();
    lstTable->addItems(moduleCreateGrid::SlotLines());
    optScope[kWhere]->setChecked(true);
    optScope_Click();
}

void frmAppendTable::optScope_Click() { txtWhere->setEnabled(optScope[kWhere]->isChecked()); }

void frmAppendTable::lstTable_Click() {
    const int slot = lstTable->currentRow();
    if (slot < 0) return;
    moduleCreateGrid::SelectSlot(slot);
    frmGrid* g = RecordDialogs::CurrentGrid();
    if (!g) return RecordDialogs::Refuse("No Recordset was selected.");
    if (g->RSetType.toInt() != 1) return RecordDialogs::Refuse("The Recordset must have been opened as a Table.");
    SourceGrid = g;
    if (SourceGrid == DestinationGrid) {
        SourceGrid = nullptr;
        RecordDialogs::Refuse("You must open a second instance of the Table and select it.");
    }
}

void frmAppendTable::cmdCancel_Click() { done(QDialog::Rejected); }

void frmAppendTable::cmdAppend_Click() {
    bool appended = false;
    try {
        appended = append();
    } catch (const engine::Error& e) {
        // Nothing is undone: what the statement inserted stays.
        Prompts::message(QString::fromStdString(e.description()));
        show();
        return;
    }
    if (appended) done(QDialog::Accepted);
}

bool frmAppendTable::append() {
    if (optScope[kWhere]->isChecked() && txtWhere->toPlainText().trimmed().isEmpty()) {
        RecordDialogs::Refuse("No where condition was specified.");
        return false;
    }
    if (!DestinationGrid || !SourceGrid)
        throw engine::Error(91, "No source table was chosen: choose the grid window to append from in the From list.");
    RecordDialogs::BusyPointer busy;
    const QString destination = DestinationGrid->TableName.toString(), source = SourceGrid->TableName.toString();
    QString insert = "Insert into [" + destination + "] (", select = "Select ";
    ColFields.clear();
    const auto& destinationFields = DestinationGrid->db1->TableDefs()[destination.toStdString()].Fields();
    const auto& sourceFields = SourceGrid->db1->TableDefs()[source.toStdString()].Fields();
    for (const auto& d : destinationFields) {
        for (const auto& s : sourceFields) {
            if (s->Name() != d->Name() || s->Type() != d->Type()) continue;
            const QString name = QString::fromStdString(d->Name());
            insert += "[" + name + "], ";
            select += "[" + name + "], ";
            CommonFieldsClass f;
            f.Fname = name;
            f.FIsText = d->Type() == engine::dbText;
            if (f.FIsText) f.FLength = static_cast<short>(std::min(d->Size(), s->Size()));
            ColFields.push_back(f);
        }
    }
    // A source held by another database object is reached through a link,
    // which goes again whatever happens from here on.
    const bool linked = SourceGrid->Data1->Database() != DestinationGrid->Data1->Database();
    std::optional<TemporaryLink> link;
    if (linked) link.emplace(*DestinationGrid->Data1->Database(), SourceGrid->DBPath, source);
    insert.chop(2);
    insert += ") ";
    select.chop(2);
    QString statement = insert + select + " From [" + (link ? link->Name() : source) + "]";
    if (ColFields.empty()) {
        RecordDialogs::Refuse("No common fields.");
        return false;
    }
    const auto destinationRows = DestinationGrid->Data1->Recordset();
    if (destinationRows && destinationRows->RecordCount() > 0) destinationRows->MoveLast();
    const QString typed = txtWhere->toPlainText();
    const int keyword = RecordDialogs::KeywordAt(typed, "WHERE");
    if (keyword >= 0) txtWhere->setPlainText(typed.mid(keyword + 5));
    const auto sourceRows = SourceGrid->Data1->Recordset();
    long recordsToAppend = 0;
    if (sourceRows && sourceRows->RecordCount() > 0) {
        sourceRows->MoveLast();
        recordsToAppend = sourceRows->RecordCount();
    }
    if (recordsToAppend == 0) {
        RecordDialogs::Refuse("No Records to Append.");
        return false;
    }
    if (optScope[kWhere]->isChecked()) statement += " Where " + txtWhere->toPlainText();
    RecordDialogs::Status(" Running Insert SQL");
    engine::Database& db = *DestinationGrid->Data1->Database();
    db.Execute(statement.toStdString());
    DestinationGrid->NeedsRefresh();
    RecordDialogs::Status("  " + DestinationGrid->statusname.toString() + "  " + QString::number(db.RecordsAffected()) +
                          " records inserted");
    return true;
}
