#include "transfer/frmCopytoText.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/dao.h"
#include "engine/textrecords.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"
#include "transfer/fieldlists.h"

namespace {

constexpr int kAll = 0, kNext = 1, kRest = 2, kWhere = 3;
constexpr int kFixed = 0, kCsv = 1;

namespace text = engine::textrecords;

}  // namespace

frmCopytoText::frmCopytoText(QWidget* owner) : QDialog(owner) {
    setObjectName("frmCopytoText");
    setWindowTitle("Copy to Text");

    QGroupBox* fields = FieldLists::MakeBox(this, lstFields, lstCopyFields, cmdAdd, cmdAddAll, cmdRemove, cmdRemoveAll);

    auto* scope = new QGroupBox("Scope", this);
    auto* scopeLayout = new QVBoxLayout(scope);
    const char* captions[] = {"All", "Next", "Rest", "Where"};
    for (int i = kAll; i <= kWhere; ++i) {
        auto* b = new QRadioButton(captions[i], scope);
        b->setObjectName(QString("optScope%1").arg(i));
        optScope[static_cast<size_t>(i)] = b;
        connect(b, &QRadioButton::clicked, this, &frmCopytoText::optScope_Click);
    }
    txtRestNumber = new QLineEdit("1", scope);
    txtRestNumber->setObjectName("txtRestNumber");
    txtRestNumber->setMaximumWidth(80);
    auto* next = new QHBoxLayout;
    next->addWidget(optScope[kNext]);
    next->addWidget(txtRestNumber);
    scopeLayout->addWidget(optScope[kAll]);
    scopeLayout->addLayout(next);
    scopeLayout->addWidget(optScope[kRest]);
    scopeLayout->addWidget(optScope[kWhere]);

    auto* format = new QGroupBox("Format", this);
    auto* formatLayout = new QVBoxLayout(format);
    const char* formats[] = {"Fixed width", "CSV"};
    for (int i : {kFixed, kCsv}) {
        auto* b = new QRadioButton(formats[i], format);
        b->setObjectName(QString("optFormat%1").arg(i));
        optFormat[static_cast<size_t>(i)] = b;
        formatLayout->addWidget(b);
    }
    formatLayout->addStretch(1);
    optFormat[kFixed]->setChecked(true);

    auto* lblWhere = new QLabel("Where", this);
    txtWhere = new QPlainTextEdit(this);
    txtWhere->setObjectName("txtWhere");
    lblWhere->setBuddy(txtWhere);

    lblFile = new QLabel(this);
    lblFile->setObjectName("lblFile");
    lblFile->setTextFormat(Qt::PlainText);
    cmdSaveAs = new QPushButton("Save As", this);
    cmdSaveAs->setObjectName("cmdSaveAs");
    cmdCopy = new QPushButton("Copy", this);
    cmdCopy->setObjectName("cmdCopy");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdSaveAs, cmdCopy, cmdCancel}) b->setAutoDefault(false);

    auto* lower = new QHBoxLayout;
    lower->addWidget(scope);
    lower->addWidget(format);
    auto* where = new QVBoxLayout;
    where->addWidget(lblWhere);
    where->addWidget(txtWhere, 1);
    lower->addLayout(where, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblFile, 1);
    buttons->addWidget(cmdSaveAs);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fields, 1);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, &frmCopytoText::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmCopytoText::cmdRemove_Click);
    connect(cmdAddAll, &QPushButton::clicked, this, &frmCopytoText::cmdAddAll_Click);
    connect(cmdRemoveAll, &QPushButton::clicked, this, &frmCopytoText::cmdRemoveAll_Click);
    connect(lstFields, &QListWidget::itemDoubleClicked, this, &frmCopytoText::cmdAdd_Click);
    connect(lstCopyFields, &QListWidget::itemDoubleClicked, this, &frmCopytoText::cmdRemove_Click);
    connect(cmdSaveAs, &QPushButton::clicked, this, &frmCopytoText::cmdSaveAs_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmCopytoText::cmdCopy_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCopytoText::cmdCancel_Click);
    Form_Load();
}

void frmCopytoText::Form_Load() {
    RecordDialogs::Place(this, 600, 1200, 7500, 6000);
    CurrentGrid = RecordDialogs::CurrentGrid();
    LoadFields();
    optScope[kWhere]->setChecked(true);
    optScope_Click();
    setWindowTitle("Copy to Text   " + (CurrentGrid ? CurrentGrid->statusname.toString() : QString()));
    OutputFile.clear();
    lblFile->clear();
    txtWhere->clear();
}

void frmCopytoText::optScope_Click() {
    txtWhere->setEnabled(optScope[kWhere]->isChecked());
    txtRestNumber->setEnabled(optScope[kNext]->isChecked());
}

void frmCopytoText::LoadFields() {
    lstFields->clear();
    lstCopyFields->clear();
    if (!CurrentGrid || !CurrentGrid->Data1->Recordset()) return;
    for (const auto& f : CurrentGrid->Data1->Recordset()->Fields()) lstFields->addItem(QString::fromStdString(f->Name()));
}

void frmCopytoText::cmdAdd_Click() { FieldLists::MoveSelected(lstFields, lstCopyFields); }
void frmCopytoText::cmdRemove_Click() { FieldLists::MoveSelected(lstCopyFields, lstFields); }
void frmCopytoText::cmdAddAll_Click() { FieldLists::MoveAll(lstFields, lstCopyFields); }
void frmCopytoText::cmdRemoveAll_Click() { FieldLists::MoveAll(lstCopyFields, lstFields); }
void frmCopytoText::cmdCancel_Click() { done(QDialog::Rejected); }

void frmCopytoText::cmdSaveAs_Click() { FileSave(); }

void frmCopytoText::FileSave() {
    const bool csv = optFormat[kCsv]->isChecked();
    const auto chosen = Prompts::saveFile("Save As", csv ? "CSV (*.csv);;Text (*.txt);;All Files (*)"
                                                         : "Text (*.txt);;All Files (*)");
    OutputFile = chosen.value_or(QString());
    lblFile->setText(OutputFile);
    // A name ending in .csv is what Append from Text reads as CSV.
    if (OutputFile.endsWith(".csv", Qt::CaseInsensitive)) optFormat[kCsv]->setChecked(true);
}

void frmCopytoText::cmdCopy_Click() {
    if (!CurrentGrid) return;
    if (optScope[kWhere]->isChecked() && txtWhere->toPlainText().trimmed().isEmpty())
        return RecordDialogs::Refuse("No where condition was specified.");
    if (OutputFile.trimmed().isEmpty()) return RecordDialogs::Refuse("Please Click on 'Save As' and enter a file.");
    if (lstCopyFields->count() == 0) return RecordDialogs::Refuse("No fields to copy.");
    QString failure;
    {
        RecordDialogs::BusyPointer busy;
        try {
            text::Writer out(QFile::encodeName(OutputFile).toStdString());
            CopyRecords(out);
            out.close();
        } catch (const engine::Error& e) {
            // The file is closed with the lines written so far.
            failure = QString::fromStdString(e.description());
        }
    }
    if (!failure.isEmpty()) {
        Prompts::message(failure + " Be sure to copy only fields which are currently selected.");
        return;
    }
    done(QDialog::Accepted);
}

void frmCopytoText::PlaceColumns(engine::Recordset& rs) {
    for (Column& c : columns_) c.source = rs.Fields(c.name).OrdinalPosition();
}

void frmCopytoText::CopyRecords(text::Writer& out) {
    counter_ = 0;
    columns_.clear();
    auto source = CurrentGrid->Data1->Recordset();
    if (!source) throw engine::Error(91, "Object variable not set: the grid has no recordset.");
    for (int i = 0; i < lstCopyFields->count(); ++i) {
        Column c;
        c.name = lstCopyFields->item(i)->text().toStdString();
        c.width = source->Fields(c.name).Size();
        columns_.push_back(c);
    }
    if (optFormat[kCsv]->isChecked()) {
        std::string header;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) header += ',';
            text::appendCsvText(header, columns_[i].name);
        }
        out.writeLine(header);
    }
    if (optScope[kWhere]->isChecked()) {
        // The keyword and the blank after it may be typed; the rest is the condition.
        QString condition = txtWhere->toPlainText();
        if (condition.left(5).compare("WHERE", Qt::CaseInsensitive) == 0 &&
            (condition.size() == 5 || condition[5].isSpace()))
            condition = condition.mid(6);
        auto matching = CurrentGrid->db1->OpenRecordset(WhereStatement(condition).toStdString());
        if (matching->RecordCount() == 0) {
            RecordDialogs::Refuse("No records meet the Where condition");
        } else {
            matching->MoveFirst();
            PlaceColumns(*matching);
            WriteRows(*matching, 0, matching->RecordCount(), out);
            matching->Close();
            matching.reset();
            CurrentGrid->NeedsRefresh();
        }
    } else {
        PlaceColumns(*source);
        if (optScope[kAll]->isChecked()) source->MoveFirst();
        long first = source->RecordCount();  // at the end of the file: nothing to write
        if (!source->EOF_()) {
            source->Bookmark();  // no current record (before the first, or deleted): the error
            first = source->AbsolutePosition();
        }
        long end = source->RecordCount();
        if (optScope[kNext]->isChecked()) {
            bool ok = false;
            const long n = txtRestNumber->text().trimmed().toLong(&ok);
            if (!ok)
                throw engine::Error(13, "Type mismatch: '" + txtRestNumber->text().toStdString() +
                                            "' is not a whole number of records.");
            end = std::clamp(first + std::max(n, 0L), first, end);
        }
        WriteRows(*source, first, end, out);
    }
    // The grid (re-opened after a Where run) starts again at its first record.
    source = CurrentGrid->Data1->Recordset();
    if (source && source->RecordCount() > 0) source->MoveFirst();
    CurrentGrid->Data1->NotifyMoved();
    RecordDialogs::Status("  " + CurrentGrid->statusname.toString() + "  " +
                          QString::number(source ? source->RecordCount() : 0) + "  Records  " +
                          QString::number(counter_) + "  Records copied");
}

void frmCopytoText::WriteRows(engine::Recordset& rs, long first, long end, text::Writer& out) {
    const bool csv = optFormat[kCsv]->isChecked();
    const QString status = "  " + CurrentGrid->statusname.toString() + "  ";
    RecordDialogs::Progress progress(end - first);
    std::string line;
    for (long p = first; p < end; ++p) {
        const std::vector<engine::Variant>* row = rs.RowAt(p);
        if (!row) continue;  // deleted since the recordset was opened
        line.clear();
        for (size_t i = 0; i < columns_.size(); ++i) {
            const engine::Variant& v = (*row)[static_cast<size_t>(columns_[i].source)];
            if (!csv) {
                text::appendFixed(line, v, columns_[i].width);
                continue;
            }
            if (i) line += ',';
            text::appendCsv(line, v);
        }
        out.writeLine(line);
        if (++counter_ % 200 == 0) progress.Report(p - first + 1, status + QString::number(counter_) + "  Records copied");
    }
}

QString frmCopytoText::WhereStatement(const QString& condition) const {
    if (CurrentGrid->RSetType.toInt() == 1)
        return "Select * from [" + CurrentGrid->TableName.toString() + "] WHERE " + condition;
    const QString gridWhere = CurrentGrid->Whereclause.toString().trimmed();
    const QString rest = CurrentGrid->RestofClause.toString();
    if (gridWhere.isEmpty()) return (CurrentGrid->SelectFromClause.toString() + " WHERE " + condition).trimmed() + " " + rest;
    // Each side in parentheses: an Or in either must not reach across the And.
    const QString body = gridWhere.mid(5).trimmed();  // after the keyword
    return (CurrentGrid->SelectFromClause.toString() + " WHERE (" + body + ") And (" + condition + ")").trimmed() + " " +
           rest;
}
