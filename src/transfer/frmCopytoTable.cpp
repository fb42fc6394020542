#include "transfer/frmCopytoTable.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

#include "engine/dao.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"
#include "transfer/fieldlists.h"
#include "transfer/moduleCreateTable.h"
#include "transfer/templink.h"

namespace {

constexpr int kAll = 0, kNext = 1, kWhere = 3;

}  // namespace

frmCopytoTable::frmCopytoTable(QWidget* owner) : QDialog(owner) {
    setObjectName("frmCopytoTable");
    setWindowTitle("Copy to a Table");
    auto* lblName = new QLabel("Table Name", this);
    txtTableName = new QLineEdit(this);
    txtTableName->setObjectName("txtTableName");
    lblName->setBuddy(txtTableName);

    QGroupBox* fields = FieldLists::MakeBox(this, lstFields, lstCopyFields, cmdAdd, cmdAddAll, cmdRemove, cmdRemoveAll);

    auto* scope = new QGroupBox("Scope", this);
    auto* scopeLayout = new QVBoxLayout(scope);
    const std::pair<int, const char*> options[] = {{kAll, "All"}, {kNext, "Next"}, {kWhere, "Where"}};
    for (const auto& [index, caption] : options) {
        auto* b = new QRadioButton(caption, scope);
        b->setObjectName(QString("optScope%1").arg(index));
        optScope[static_cast<size_t>(index)] = b;
        connect(b, &QRadioButton::clicked, this, &frmCopytoTable::optScope_Click);
    }
    txtRestNumber = new QLineEdit("1", scope);
    txtRestNumber->setObjectName("txtRestNumber");
    txtRestNumber->setMaximumWidth(80);
    auto* next = new QHBoxLayout;
    next->addWidget(optScope[kNext]);
    next->addWidget(txtRestNumber);
    scopeLayout->addWidget(optScope[kAll]);
    scopeLayout->addLayout(next);
    scopeLayout->addWidget(optScope[kWhere]);

    auto* lblWhere = new QLabel("Where", this);
    txtWhere = new QPlainTextEdit(this);
    txtWhere->setObjectName("txtWhere");
    lblWhere->setBuddy(txtWhere);

    cmdCopy = new QPushButton("Copy", this);
    cmdCopy->setObjectName("cmdCopy");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdCopy, cmdCancel}) b->setAutoDefault(false);

    auto* name = new QHBoxLayout;
    name->addWidget(lblName);
    name->addWidget(txtTableName, 1);
    auto* lower = new QHBoxLayout;
    lower->addWidget(scope);
    auto* where = new QVBoxLayout;
    where->addWidget(lblWhere);
    where->addWidget(txtWhere, 1);
    lower->addLayout(where, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(name);
    layout->addWidget(fields, 1);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, &frmCopytoTable::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmCopytoTable::cmdRemove_Click);
    connect(cmdAddAll, &QPushButton::clicked, this, &frmCopytoTable::cmdAddAll_Click);
    connect(cmdRemoveAll, &QPushButton::clicked, this, &frmCopytoTable::cmdRemoveAll_Click);
    connect(lstFields, &QListWidget::itemDoubleClicked, this, &frmCopytoTable::cmdAdd_Click);
    connect(lstCopyFields, &QListWidget::itemDoubleClicked, this, &frmCopytoTable::cmdRemove_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmCopytoTable::cmdCopy_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCopytoTable::cmdCancel_Click);
    Form_Load();
}

void frmCopytoTable::Form_Load() {
    RecordDialogs::Place(this, 600, 1200, 7500, 6000);
    CurrentGrid = RecordDialogs::CurrentGrid();
    txtWhere->clear();
    LoadFields();
    const bool table = CurrentGrid && CurrentGrid->RSetType.toInt() == 1;
    optScope[table ? kWhere : kNext]->setChecked(true);
    optScope[kAll]->setEnabled(table);
    optScope[kWhere]->setEnabled(table);
    optScope_Click();
    setWindowTitle("Copy to a Table   " + (CurrentGrid ? CurrentGrid->statusname.toString() : QString()));
    txtTableName->setFocus();
}

void frmCopytoTable::optScope_Click() {
    txtWhere->setEnabled(optScope[kWhere]->isChecked());
    txtRestNumber->setEnabled(optScope[kNext]->isChecked());
}

void frmCopytoTable::LoadFields() {
    lstFields->clear();
    lstCopyFields->clear();
    if (!CurrentGrid || !CurrentGrid->Data1->Recordset()) return;
    for (const auto& f : CurrentGrid->Data1->Recordset()->Fields()) lstFields->addItem(QString::fromStdString(f->Name()));
}

void frmCopytoTable::cmdAdd_Click() { FieldLists::MoveSelected(lstFields, lstCopyFields); }
void frmCopytoTable::cmdRemove_Click() { FieldLists::MoveSelected(lstCopyFields, lstFields); }
void frmCopytoTable::cmdAddAll_Click() { FieldLists::MoveAll(lstFields, lstCopyFields); }
void frmCopytoTable::cmdRemoveAll_Click() { FieldLists::MoveAll(lstCopyFields, lstFields); }
void frmCopytoTable::cmdCancel_Click() { done(QDialog::Rejected); }

void frmCopytoTable::cmdCopy_Click() {
    if (!CurrentGrid) return;
    if (txtTableName->text().trimmed().isEmpty()) return RecordDialogs::Refuse("No Table name was supplied.");
    if (lstCopyFields->count() == 0) return RecordDialogs::Refuse("No fields to copy.");
    if (optScope[kWhere]->isChecked() && txtWhere->toPlainText().trimmed().isEmpty())
        return RecordDialogs::Refuse("No where condition was specified.");
    // The records of a grid that can only be read go into a database the user chooses.
    std::shared_ptr<engine::Database> target = CurrentGrid->db1;
    const bool elsewhere = !target->Updatable();
    if (elsewhere) {
        Prompts::message("The records of this grid can only be read. Choose a Ledgerly database to copy them into.",
                         "Copy to a Table", Prompts::Icon::Information);
        const std::optional<QString> file = Prompts::openDatabase("Copy into Database");
        if (!file) return;
        target = RecordDialogs::OpenAskingPassword(*file);
        if (!target) return;
        if (!target->Updatable()) {
            target->Close();
            return RecordDialogs::Refuse("'" + *file + "' can only be read too. Choose a Ledgerly database that can be changed.");
        }
    }
    const bool copied = copyInto(*target);
    if (elsewhere) target->Close();
    if (copied) done(QDialog::Accepted);
}

bool frmCopytoTable::copyInto(engine::Database& db) {
    try {
        // Another database reads the grid's table through a link, made before anything there changes.
        const QString table = CurrentGrid->TableName.toString();
        std::optional<TemporaryLink> link;
        if (&db != CurrentGrid->db1.get() && !optScope[kNext]->isChecked()) link.emplace(db, CurrentGrid->DBPath, table);
        // Only a name written exactly so is offered for overwriting.
        const std::string name = txtTableName->text().toStdString();
        for (const auto& td : db.TableDefs()) {
            if (td->Name() != name) continue;
            if (Prompts::message("A table of that name already exists, overwrite it?", "Warning", Prompts::Icon::None,
                                 Prompts::Buttons::OKCancel) != Prompts::Answer::OK)
                return false;
            db.TableDefs().Refresh();
            db.Execute("Drop Table [" + name + "]");
            break;
        }
        RecordDialogs::BusyPointer busy;
        MakeCommand();
        db.Execute(CreateTableCommand.toStdString());
        NewTable = db.OpenRecordset(name);
        CopyRecords(db, link ? link->Name() : table);
        NewTable->Close();
        NewTable.reset();
        return true;
    } catch (const engine::Error& e) {
        // What was done stays done: a dropped table, a created one, the records copied.
        NewTable.reset();
        Prompts::message(QString::fromStdString(e.description()));
        return false;
    }
}

void frmCopytoTable::MakeCommand() {
    const QString name = moduleCreateTable::TableNameFor(txtTableName->text().trimmed());
    QStringList entries;
    for (int i = 0; i < lstCopyFields->count(); ++i) entries << lstCopyFields->item(i)->text();
    QStringList columns, definitions;
    for (const auto& c : moduleCreateTable::ColumnDefs(CurrentGrid, entries)) {
        columns << c.column;
        definitions << c.definition;
    }
    CreateTableCommand = " CREATE TABLE " + name + " (" + definitions.join(", ") + ")";
    InsertIntoCommand = "Insert into " + name + " (" + columns.join(", ") + ") ";
    SelectString = "Select " + columns.join(", ");
}

void frmCopytoTable::CopyRecords(engine::Database& db, const QString& from) {
    long counter = 0;
    const QString status = "  " + CurrentGrid->statusname.toString() + "  ";
    // Everything up to and including the keyword goes, whatever the scope.
    const QString typed = txtWhere->toPlainText();
    const int keyword = RecordDialogs::KeywordAt(typed, "WHERE");
    if (keyword >= 0) txtWhere->setPlainText(typed.mid(keyword + 5));
    const auto source = CurrentGrid->Data1->Recordset();
    if (optScope[kAll]->isChecked() || optScope[kWhere]->isChecked()) {
        TotalString = InsertIntoCommand + SelectString + " From [" + from + "]";
        if (optScope[kWhere]->isChecked()) TotalString += " Where " + txtWhere->toPlainText();
        RecordDialogs::Status(" Running Insert SQL");
        db.Execute(TotalString.toStdString());
        RecordDialogs::Status(status + QString::number(db.RecordsAffected()) + " records copied");
    } else {
        bool ok = false;
        const long n = txtRestNumber->text().trimmed().toShort(&ok);
        if (!ok) throw engine::Error(13, "Type mismatch: '" + txtRestNumber->text().toStdString() + "' is not a number of records from 0 to 32767.");
        RecordDialogs::Progress progress(std::min<long>(n, source->RecordCount()));
        RecordDialogs::RunTransaction run(db);
        bool ended = false;
        for (long k = 1; k <= n && !ended; ++k) {
            NewTable->AddNew();
            for (int i = 0; i < lstCopyFields->count(); ++i) {
                QString target = lstCopyFields->item(i)->text();
                const int dot = target.indexOf('.');
                if (dot >= 0) target.remove(dot, 1);
                NewTable->Fields(target.toStdString()).SetValue(source->Fields(lstCopyFields->item(i)->text().toStdString()).Value());
            }
            NewTable->Update();
            if (++counter % 200 == 0) progress.Report(counter, status + QString::number(counter) + "  Records copied");
            source->MoveNext();
            ended = source->EOF_();
        }
        if (!ended)
            RecordDialogs::Status(status + QString::number(source->RecordCount()) + "  Records  " + QString::number(counter) +
                                  "  Records copied");
    }
    if (source->RecordCount() > 0) source->MoveFirst();
    CurrentGrid->Data1->NotifyMoved();
}
