#include "records/frmUpdateTable.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/clausebuilder.h"
#include "records/recorddialogs.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "transfer/moduleCreateTable.h"

namespace {

const char* const kScratchTable = "TempUpdateTable";

// A name with its first "." taken out: Orders.Qty is OrdersQty in the scratch table.
QString withoutFirstDot(QString name) {
    const int dot = name.indexOf('.');
    return dot >= 0 ? name.remove(dot, 1) : name;
}

QString bracketed(const QString& name) { return name.contains(' ') ? "[" + name + "]" : name; }

void showError(const engine::Error& e, const QString& suffix = {}) {
    Prompts::message(QString::fromStdString(e.description()) + suffix);
}

}  // namespace

frmUpdateTable::frmUpdateTable(QWidget* owner) : QDialog(owner) {
    setObjectName("frmUpdateTable");
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(name);
        return w;
    };
    lstFields = static_cast<QListWidget*>(named(new QListWidget(this), "lstFields"));
    lblSet = static_cast<QLabel*>(named(new QLabel(this), "lblSet"));
    TextWith = static_cast<QPlainTextEdit*>(named(new QPlainTextEdit(this), "TextWith"));
    txtWhere = static_cast<QPlainTextEdit*>(named(new QPlainTextEdit(this), "txtWhere"));
    txtWhere->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtRestNumber = static_cast<QLineEdit*>(named(new QLineEdit("1", this), "txtRestNumber"));
    txtRestNumber->setMaximumWidth(txtRestNumber->fontMetrics().horizontalAdvance("000000") + 16);
    auto* scope = new QGroupBox("Scope", this);
    const std::pair<int, const char*> options[] = {{0, "All"}, {1, "Next"}, {3, "Where"}};
    auto* scopeLayout = new QGridLayout(scope);
    for (auto [i, caption] : options) {
        optScope[static_cast<size_t>(i)] = new QRadioButton(caption, scope);
        optScope[static_cast<size_t>(i)]->setObjectName(QString("optScope%1").arg(i));
        connect(optScope[static_cast<size_t>(i)], &QRadioButton::clicked, this, &frmUpdateTable::optScope_Click);
    }
    scopeLayout->addWidget(optScope[0], 0, 0);
    scopeLayout->addWidget(optScope[1], 1, 0);
    scopeLayout->addWidget(txtRestNumber, 1, 1);
    scopeLayout->addWidget(optScope[3], 2, 0);
    builder = new ClauseBuilder(this, ClauseBuilder::Set::Where);
    builder->target = [this]() -> QPlainTextEdit* {
        if (activeBox_ == "TextWith") return TextWith;
        if (activeBox_ == "txtWhere") return txtWhere;
        return nullptr;
    };
    builder->logicalAllowed = [this] { return activeBox_ == "txtWhere"; };
    cmdReplace = static_cast<QPushButton*>(named(new QPushButton("Replace", this), "cmdReplace"));
    cmdCancel = static_cast<QPushButton*>(named(new QPushButton("Cancel", this), "cmdCancel"));
    for (QPushButton* b : {cmdReplace, cmdCancel}) b->setAutoDefault(false);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Field to Update", this));
    left->addWidget(lstFields);
    auto* middle = new QVBoxLayout;
    middle->addWidget(lblSet);
    middle->addWidget(TextWith);
    middle->addWidget(scope);
    middle->addWidget(new QLabel("Where", this));
    middle->addWidget(txtWhere);
    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    middle->addLayout(combos);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdReplace);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(middle, 3);
    layout->addLayout(buttons);

    // Clicking (or tabbing) into a box makes it the one builder picks go to.
    TextWith->installEventFilter(this);
    txtWhere->installEventFilter(this);
    connect(lstFields, &QListWidget::itemClicked, this, &frmUpdateTable::lstFields_Click);
    connect(lstFields, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) lstFields_Click();
    });
    connect(cmdReplace, &QPushButton::clicked, this, &frmUpdateTable::cmdReplace_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpdateTable::cmdCancel_Click);
    Form_Load();
}

frmUpdateTable::~frmUpdateTable() {
    if (!unloaded_) DeleteTempTable();
}

bool frmUpdateTable::CanUpdate(frmGrid* grid) {
    if (!grid) return false;
    const QString full = grid->Fullclause.toString().toUpper();
    for (const char* word : {"COUNT", "AVG", "MAX", "MIN", "SUM", "STDEV", "VAR"})
        if (full.contains(word)) {
            RecordDialogs::Refuse("The selected recordset cannot have an aggregate function.");
            return false;
        }
    return true;
}

bool frmUpdateTable::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == TextWith) activeBox_ = "TextWith";
        else if (watched == txtWhere) activeBox_ = "txtWhere";
    }
    return QDialog::eventFilter(watched, event);
}

void frmUpdateTable::Form_Load() {
    RecordDialogs::Place(this, 1000, 2000, 9150, 4395);
    grid_ = RecordDialogs::CurrentGrid();
    if (!grid_) return;
    const bool table = grid_->RSetType.toInt() == 1;
    try {
        QStringList names;
        engine::FieldCollection& fields = table ? grid_->db1->TableDefs()[grid_->TableName.toString().toStdString()].Fields()
                                                : grid_->Data1->Recordset()->Fields();
        for (const auto& f : fields) names << QString::fromStdString(f->Name());
        lstFields->clear();
        lstFields->addItems(names);
        builder->LoadFields(names);
        scratch_ = RecordDialogs::OpenScratch();
        DeleteTempTable();
        moduleCreateTable::MakeCreateTable(grid_, kScratchTable, lstFields);
        scratch_->Execute(moduleCreateTable::CreateTableSQL.toStdString());
        scratch_->TableDefs().Refresh();
        scratchRows_ = scratch_->OpenRecordset(kScratchTable);
    } catch (const engine::Error& e) {
        showError(e);
    }
    optScope[table ? 3 : 1]->setChecked(true);
    optScope[0]->setEnabled(table);
    optScope[3]->setEnabled(table);
    optScope_Click();
    setWindowTitle("Update Table   " + grid_->statusname.toString());
    txtWhere->clear();
    TextWith->clear();
}

void frmUpdateTable::optScope_Click() {
    txtWhere->setEnabled(optScope[3]->isChecked());
    txtRestNumber->setEnabled(optScope[1]->isChecked());
    if (optScope[3]->isChecked()) activeBox_ = "txtWhere";
}

void frmUpdateTable::lstFields_Click() {
    QListWidgetItem* item = lstFields->currentItem();
    if (!item) return;
    lblSet->setText("Set " + item->text() + " =");
    scratchField_ = bracketed(withoutFirstDot(item->text()));
    TextWith->setFocus();
}

void frmUpdateTable::status(const QString& text) {
    RecordDialogs::Status(text);
    // Painted now, without taking the user's input in the middle of the run.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool frmUpdateTable::CheckforUpdateable(engine::Recordset& rs) {
    if (rs.Updatable()) return true;
    Prompts::message("The recordset is not updateable. See the help file on this dialog.", "Error",
                     Prompts::Icon::Information);
    return false;
}

engine::Variant frmUpdateTable::CalculateValue(engine::Recordset& source) {
    success_ = false;
    try {
        if (!scratchRows_) throw engine::Error(3078, "The scratch table '" + std::string(kScratchTable) + "' could not be made.");
        if (scratchRows_->RecordCount() == 0) {
            scratchRows_->AddNew();
            scratchRows_->Update();
        }
        const QString expression = TextWith->toPlainText().trimmed();
        if (expression != mentionedFor_ || mentioned_.empty()) {
            mentioned_.clear();
            for (int i = 0; i < lstFields->count(); ++i) {
                const QString entry = lstFields->item(i)->text(), plain = withoutFirstDot(entry.trimmed());
                if (expression.contains(plain, Qt::CaseInsensitive) || expression.contains(entry.trimmed(), Qt::CaseInsensitive))
                    mentioned_.emplace_back(entry.toStdString(), plain.toStdString());
            }
            mentionedFor_ = expression;
        }
        scratchRows_->MoveFirst();
        scratchRows_->Edit();
        for (const auto& [field, copy] : mentioned_) scratchRows_->Fields(copy).SetValue(source.Fields(field).Value());
        scratchRows_->Update();
        scratch_->Execute("Update TempUpdateTable Set " + scratchField_.toStdString() + " = " + expression.toStdString());
        // The held recordset reads the row again after the statement changed it.
        QString plain = scratchField_;
        if (plain.startsWith('[') && plain.endsWith(']')) plain = plain.mid(1, plain.size() - 2);
        engine::Variant value = scratchRows_->Fields(plain.toStdString()).Value();
        success_ = true;
        return value;
    } catch (const engine::Error& e) {
        if (scratchRows_ && scratchRows_->EditMode() != engine::dbEditNone) scratchRows_->CancelUpdate();
        QApplication::restoreOverrideCursor();
        Prompts::message(QString::fromStdString(e.description()), "Error", Prompts::Icon::Exclamation);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return {};
    }
}

void frmUpdateTable::replaceAllOrWhere(bool where) {
    const auto rs = grid_->Data1->Recordset();
    const engine::Bookmark saved = rs->RecordCount() > 0 && !rs->EOF_() && !rs->BOF() ? rs->Bookmark() : engine::Bookmark();
    status(" Running Update SQL");
    QString field = lstFields->currentItem()->text();
    lastStatement_ = "Update [" + grid_->TableName.toString() + "] set " + bracketed(field) + " = " +
                     TextWith->toPlainText().trimmed();
    if (where) lastStatement_ += " Where " + txtWhere->toPlainText().trimmed();
    grid_->db1->Execute(lastStatement_.toStdString());
    const long affected = grid_->db1->RecordsAffected();
    grid_->NeedsRefresh();
    status("  " + grid_->statusname.toString() + "  " + QString::number(affected) + "  Updates");
    txtWhere->clear();
    TextWith->clear();
    const auto fresh = grid_->Data1->Recordset();
    if (!saved.empty() && fresh) {
        try {
            fresh->SetBookmark(saved);
            grid_->Data1->NotifyMoved();
        } catch (const engine::Error&) {
            // The refreshed grid starts at its first record.
        }
    }
    done(QDialog::Accepted);
}

bool frmUpdateTable::replaceNext() {
    bool ok = false;
    const int n = txtRestNumber->text().trimmed().toShort(&ok);
    if (!ok) throw engine::Error(13, "Type mismatch: '" + txtRestNumber->text().toStdString() + "' is not a number of records.");
    const auto rs = grid_->Data1->Recordset();
    const std::string field = lstFields->currentItem()->text().toStdString();
    long counter = 0;
    RecordDialogs::Progress progress(std::min<long>(n, rs->RecordCount()));
    if (!scratch_ || !scratchRows_)
        throw engine::Error(3078, "The scratch table '" + std::string(kScratchTable) + "' could not be made.");
    // One transaction for the run in each file; what was done is kept however it ends.
    RecordDialogs::RunTransaction run(*grid_->db1), scratchRun(*scratch_);
    int i = 1;
    for (; i <= n; ++i) {
        rs->Edit();
        engine::Variant value = CalculateValue(*rs);
        if (!success_) {
            rs->CancelUpdate();  // this record is left as it was; those before stay updated
            return false;
        }
        rs->Fields(field).SetValue(value);
        rs->Update();
        if (++counter % 200 == 0) progress.Report(counter, "  " + grid_->statusname.toString() + "  " + QString::number(counter) + "  Updates");
        rs->MoveNext();
        if (rs->EOF_()) {
            rs->MoveLast();
            break;
        }
    }
    if (i > n) rs->MovePrevious();
    grid_->NeedsRefresh();
    status("  " + grid_->statusname.toString() + "  " + QString::number(counter) + "  Updates");
    return true;
}

void frmUpdateTable::cmdReplace_Click() {
    if (!grid_) return;
    if (!lstFields->currentItem() || lstFields->currentRow() < 0) {
        RecordDialogs::Refuse("Please select a field to update.");
        return;
    }
    const bool where = optScope[3]->isChecked(), next = optScope[1]->isChecked();
    if (where && txtWhere->toPlainText().trimmed().isEmpty()) {
        RecordDialogs::Refuse("No where clause was specified.");
        return;
    }
    if (TextWith->toPlainText().trimmed().isEmpty()) {
        RecordDialogs::Refuse("The set clause was not completed.");
        return;
    }
    const QString with = TextWith->toPlainText();
    if (with.contains('=')) TextWith->setPlainText(with.mid(with.indexOf('=') + 1));
    // A leading "Where" goes; only the word itself, not the letters inside a
    // name (Somewhere) or a quoted value.
    const QString condition = txtWhere->toPlainText();
    const int p = RecordDialogs::KeywordAt(condition, "WHERE");
    if (p >= 0) txtWhere->setPlainText(condition.mid(p + 5));
    RecordDialogs::BusyPointer busy;
    try {
        // A copy of the grid's recordset could only say what the grid's own
        // says, after reading every key again: ask the grid's.
        if (!CheckforUpdateable(*grid_->Data1->Recordset())) {
            Prompts::message("The recordset is not updateable, see the help file", "Error", Prompts::Icon::Critical);
            return;
        }
        if (next) {
            if (replaceNext()) {
                scratchRows_.reset();
                txtWhere->clear();
                TextWith->clear();
                done(QDialog::Accepted);
            }
        } else {
            replaceAllOrWhere(where);
        }
    } catch (const engine::Error& e) {
        showError(e, next ? QString() : " " + lastStatement_);
    }
}

void frmUpdateTable::cmdCancel_Click() { done(QDialog::Rejected); }

void frmUpdateTable::done(int result) {
    if (!unloaded_) {
        unloaded_ = true;
        DeleteTempTable();
    }
    QDialog::done(result);
}

void frmUpdateTable::DeleteTempTable() {
    if (scratch_) RecordDialogs::DropScratchTable(*scratch_, kScratchTable, scratchRows_);
}
