#include "records/frmStatistics.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QPushButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/frmStatisticsGrid1.h"
#include "records/clausebuilder.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

frmStatistics::frmStatistics(frmStatisticsGrid1& result, QWidget* owner) : QDialog(owner), result_(result) {
    setObjectName("frmStatistics");
    setWindowTitle("Statistics");
    txtSelect = new QPlainTextEdit(this);
    txtSelect->setObjectName("txtSelect");
    txtSelect->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtSelect->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    builder = new ClauseBuilder(this, ClauseBuilder::Set::Select);
    builder->target = [this] { return txtSelect; };
    cmdSet = new QPushButton("Run", this);
    cmdSet->setObjectName("cmdSet");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    for (QPushButton* b : {cmdSet, cmdClose}) b->setAutoDefault(false);

    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSet);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtSelect, 1);
    layout->addLayout(combos);
    layout->addLayout(buttons);

    connect(cmdSet, &QPushButton::clicked, this, &frmStatistics::cmdSet_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmStatistics::cmdClose_Click);
}

bool frmStatistics::Form_Load() {
    RecordDialogs::Place(this, 500, 1500, 6870, 4395);
    grid_ = RecordDialogs::CurrentGrid();
    if (!grid_ || !grid_->db1) return false;
    try {
        // The result gets a connection of its own, opened as the grids open theirs.
        result_.db1 = engine::DBEngine::OpenDatabase(grid_->DBPath.toStdString(), true);
        result_.DBPath = grid_->DBPath;
        result_.Data1->DatabaseName = grid_->DBPath;
        LoadFields(grid_);
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
        return false;
    }
    const QString full = grid_->Fullclause.toString();
    if (grid_->RSetType.toInt() == 1) {
        txtSelect->setPlainText(full.contains(' ') ? "Select  From [" + full + "]" : "Select  From " + full);
        // The caret waits between the keywords, where the columns go.
        QTextCursor caret = txtSelect->textCursor();
        caret.setPosition(7);
        txtSelect->setTextCursor(caret);
    } else {
        txtSelect->setPlainText(full);
    }
    txtSelect->setFocus();
    return true;
}

void frmStatistics::LoadFields(frmGrid* grid) {
    QStringList names;
    const std::string table = grid->TableName.toString().toStdString();
    if (grid->RSetType.toInt() == 1) {
        for (const auto& f : grid->db1->TableDefs()[table].Fields()) names << QString::fromStdString(f->Name());
    } else if (auto query = grid->db1->QueryDefs().Find(table)) {
        for (const auto& f : query->Fields()) names << QString::fromStdString(f->Name());
    } else if (const auto& rs = grid->Data1->Recordset()) {
        // A statement typed rather than saved: the columns the grid shows.
        for (const auto& f : rs->Fields()) names << QString::fromStdString(f->Name());
    }
    builder->LoadFields(names);
}

QString frmStatistics::DropTrailingComma(const QString& statement) {
    QString text = statement.trimmed();
    if (text.endsWith(',')) return text.chopped(1);
    const int from = RecordDialogs::KeywordAt(text, "From");
    if (from <= 0) return text;
    int before = from - 1;
    while (before >= 0 && text[before].isSpace()) --before;
    if (before >= 0 && text[before] == ',') text.remove(before, 1);
    return text;
}

void frmStatistics::cmdSet_Click() {
    bool ran;
    {
        RecordDialogs::BusyPointer busy;
        result_.OriginalRSSource = DropTrailingComma(txtSelect->toPlainText());
        ran = result_.NeedsRefresh();
    }
    if (ran) cmdClose_Click();
}

void frmStatistics::cmdClose_Click() { done(QDialog::Accepted); }
