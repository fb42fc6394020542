#include "records/frmFind.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/clausebuilder.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

frmFind::frmFind(QWidget* owner) : QDialog(owner) {
    setObjectName("frmFind");
    txtWhere = new QPlainTextEdit(this);
    txtWhere->setObjectName("txtWhere");
    txtWhere->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    builder = new ClauseBuilder(this, ClauseBuilder::Set::Where);
    builder->target = [this] { return txtWhere; };
    auto* frame = new QGroupBox("Find", this);
    auto* options = new QHBoxLayout(frame);
    const char* captions[] = {"Find First", "Find Last", "Find Next", "Find Previous"};
    for (int i = 0; i < 4; ++i) {
        optFind[static_cast<size_t>(i)] = new QRadioButton(captions[i], frame);
        optFind[static_cast<size_t>(i)]->setObjectName(QString("optFind%1").arg(i));
        options->addWidget(optFind[static_cast<size_t>(i)]);
    }
    cmdFind = new QPushButton("Find", this);
    cmdFind->setObjectName("cmdFind");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdFind, cmdCancel}) b->setAutoDefault(false);

    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(frame, 1);
    buttons->addWidget(cmdFind);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtWhere, 1);
    layout->addLayout(combos);
    layout->addLayout(buttons);

    connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFind::cmdCancel_Click);
    Form_Load();
}

void frmFind::Form_Load() {
    RecordDialogs::Place(this, 500, 1500, 7815, 4020);
    grid_ = RecordDialogs::CurrentGrid();
    optFind[0]->setChecked(true);
    setWindowTitle("Find   " + (grid_ ? grid_->statusname.toString() : QString()));
    if (grid_ && grid_->Data1->Recordset()) {
        QStringList names;
        for (const auto& f : grid_->Data1->Recordset()->Fields()) names << QString::fromStdString(f->Name());
        builder->LoadFields(names);
    }
    txtWhere->setFocus();
}

void frmFind::cmdFind_Click() {
    try {
        const auto rs = grid_ ? grid_->Data1->Recordset() : nullptr;
        if (!rs || rs->RecordCount() == 0) {
            RecordDialogs::Refuse("No records to search.");
            return;
        }
        savedBookmark_ = rs->Bookmark();
        const std::string criteria = txtWhere->toPlainText().trimmed().toStdString();
        if (criteria.empty()) {
            RecordDialogs::Refuse("No where condition was specified.");
            return;
        }
        if (optFind[0]->isChecked()) rs->FindFirst(criteria);
        else if (optFind[1]->isChecked()) rs->FindLast(criteria);
        else if (optFind[2]->isChecked()) rs->FindNext(criteria);
        else rs->FindPrevious(criteria);
        const bool found = !rs->NoMatch();
        if (!found) rs->SetBookmark(savedBookmark_);
        grid_->Data1->NotifyMoved();
        RecordDialogs::ReportFound(grid_, found);
        done(QDialog::Accepted);
    } catch (const engine::Error& e) {
        // A condition the engine cannot read: say why and let it be mended.
        Prompts::message(QString::fromStdString(e.description()));
    }
}

void frmFind::cmdCancel_Click() { done(QDialog::Rejected); }
