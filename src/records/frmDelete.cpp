#include "records/frmDelete.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/clausebuilder.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

namespace {

constexpr int kAll = 0, kNext = 1, kWhere = 3;

QString count(long n) { return QString::number(n); }

}  // namespace

frmDelete::frmDelete(QWidget* owner) : QDialog(owner) {
    setObjectName("frmDelete");
    setWindowTitle("Delete");
    auto* frame = new QGroupBox("Scope", this);
    frame->setObjectName("frameScope");
    auto* scope = new QVBoxLayout(frame);
    const std::pair<int, const char*> options[] = {{kAll, "All"}, {kNext, "Next"}, {kWhere, "Where"}};
    for (const auto& [index, caption] : options) {
        auto* b = new QRadioButton(caption, frame);
        b->setObjectName(QString("optScope%1").arg(index));
        optScope[static_cast<size_t>(index)] = b;
        connect(b, &QRadioButton::clicked, this, &frmDelete::optScope_Click);
    }
    txtRestNumber = new QLineEdit("1", frame);
    txtRestNumber->setObjectName("txtRestNumber");
    txtRestNumber->setMaximumWidth(80);
    auto* next = new QHBoxLayout;
    next->addWidget(optScope[kNext]);
    next->addWidget(txtRestNumber);
    scope->addWidget(optScope[kAll]);
    scope->addLayout(next);
    scope->addWidget(optScope[kWhere]);
    scope->addStretch(1);

    lblWhere = new QLabel("Where", this);
    lblWhere->setObjectName("lblWhere");
    txtWhere = new QPlainTextEdit(this);
    txtWhere->setObjectName("txtWhere");
    txtWhere->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lblWhere->setBuddy(txtWhere);
    builder = new ClauseBuilder(this, ClauseBuilder::Set::Where);
    builder->target = [this] { return txtWhere; };

    cmdDelete = new QPushButton("Delete", this);
    cmdDelete->setObjectName("cmdDelete");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdDelete, cmdCancel}) b->setAutoDefault(false);

    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    auto* condition = new QVBoxLayout;
    condition->addWidget(lblWhere);
    condition->addWidget(txtWhere, 1);
    condition->addLayout(combos);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(condition, 1);
    layout->addLayout(buttons);

    connect(cmdDelete, &QPushButton::clicked, this, &frmDelete::cmdDelete_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDelete::cmdCancel_Click);
    Form_Load();
}

void frmDelete::Form_Load() {
    RecordDialogs::Place(this, 1000, 2000, 7050, 4080);
    grid_ = RecordDialogs::CurrentGrid();
    optScope[kWhere]->setChecked(true);
    optScope_Click();
    setWindowTitle("Delete   " + (grid_ ? grid_->statusname.toString() : QString()));
    if (grid_ && grid_->Data1->Recordset()) {
        QStringList names;
        for (const auto& f : grid_->Data1->Recordset()->Fields()) names << QString::fromStdString(f->Name());
        builder->LoadFields(names);
    }
    txtRestNumber->setText("1");
    txtWhere->clear();
    txtWhere->setFocus();
}

void frmDelete::optScope_Click() {
    txtWhere->setEnabled(optScope[kWhere]->isChecked());
    txtRestNumber->setEnabled(optScope[kNext]->isChecked());
}

void frmDelete::cmdDelete_Click() {
    if (!grid_ || !grid_->rs1 || !grid_->db1) return;
    const bool where = optScope[kWhere]->isChecked();
    if (where && txtWhere->toPlainText().trimmed().isEmpty()) {
        RecordDialogs::Refuse("No where clause was specified.");
        return;
    }
    // A condition typed with its keyword: everything up to and including it
    // goes. Only the keyword itself counts, not the letters inside a name
    // (Somewhere) or a quoted value, which would leave a different condition.
    const QString typed = txtWhere->toPlainText();
    const int keyword = RecordDialogs::KeywordAt(typed, "WHERE");
    if (keyword >= 0) txtWhere->setPlainText(typed.mid(keyword + 5));
    if (where && txtWhere->toPlainText().trimmed().isEmpty()) {
        RecordDialogs::Refuse("No where clause was specified.");
        return;
    }

    bool done;
    {
        RecordDialogs::BusyPointer busy;
        const QString name = grid_->statusname.toString();
        RecordDialogs::Status("  " + name + "  " + count(grid_->rs1->RecordCount()) + "  Records  0  Deletes");
        const QString table = "Delete from [" + grid_->TableName.toString() + "]";
        if (optScope[kAll]->isChecked()) done = DeleteBySql(table);
        else if (optScope[kNext]->isChecked()) done = DeleteNext();
        else done = DeleteBySql(table + " Where " + txtWhere->toPlainText().trimmed());
    }
    if (done) this->done(QDialog::Accepted);
}

bool frmDelete::DeleteBySql(const QString& statement) {
    const QString name = grid_->statusname.toString();
    RecordDialogs::Status(" Running Update SQL");
    try {
        grid_->db1->Execute(statement.toStdString());
    } catch (const engine::Error& e) {
        // One statement: it deleted all it was to delete or nothing.
        RecordDialogs::Status(grid_->StatusLine());
        Prompts::message(QString::fromStdString(e.description()) + " " + statement);
        return false;
    }
    const long affected = grid_->db1->RecordsAffected();
    grid_->NeedsRefresh();
    RecordDialogs::Status("  " + name + "  " + count(affected) + "  Deletes");
    return true;
}

bool frmDelete::DeleteNext() {
    const QString name = grid_->statusname.toString();
    const std::shared_ptr<engine::Recordset> rs = grid_->Data1->Recordset();
    long counter = 0;
    bool inTransaction = false;
    try {
        // The number as a 16-bit Integer field takes it: 3421 for text that
        // is no number, an overflow beyond -32768..32767.
        const long n = static_cast<long>(
            engine::Variant(txtRestNumber->text().toStdString()).convertTo(engine::dbInteger).intValue());
        if (!rs) throw engine::Error(engine::err::NoCurrentRecord, "No current record.");
        const long left = rs->RecordCount() - std::max(0L, rs->AbsolutePosition());
        RecordDialogs::Progress progress(std::min(n, left));
        // One transaction for the run: a commit per record costs far more.
        grid_->db1->BeginTrans();
        inTransaction = true;
        for (long i = 1; i <= n; ++i) {
            rs->Delete();
            ++counter;
            if (counter % 200 == 0) progress.Report(counter, "  " + name + "  " + count(counter) + "  Deletes");
            rs->MoveNext();
            if (rs->EOF_()) break;
        }
        inTransaction = false;
        grid_->db1->CommitTrans();
    } catch (const engine::Error& e) {
        // What was deleted before the error stays deleted, and is counted.
        if (inTransaction) {
            try {
                grid_->db1->CommitTrans();
            } catch (const engine::Error&) {
                counter = 0;  // a failed commit keeps none of them
            }
        }
        grid_->Data1->Refresh();
        RecordDialogs::Status("  " + name + "  " + count(grid_->rs1->RecordCount()) + "  Records  " + count(counter) +
                              "  Deletes");
        Prompts::message(QString::fromStdString(e.description()));
        return false;
    }
    grid_->NeedsRefresh();
    RecordDialogs::Status("  " + name + "  " + count(grid_->rs1 ? grid_->rs1->RecordCount() : 0) + "  Records  " +
                          count(counter) + "  Deletes");
    return true;
}

void frmDelete::cmdCancel_Click() { done(QDialog::Rejected); }
