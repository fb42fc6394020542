#include "records/frmSeek.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

namespace {

// The fields of the recordset's current index, from its table's definition.
std::vector<std::string> indexFields(frmGrid* grid) {
    const auto& rs = grid->Data1->Recordset();
    auto& table = grid->db1->TableDefs()[grid->TableName.toString().toStdString()];
    std::vector<std::string> names;
    for (const auto& f : table.Indexes()[rs->Index()].Fields()) names.push_back(f->Name());
    return names;
}

}  // namespace

frmSeek::frmSeek(QWidget* owner) : QDialog(owner) {
    setObjectName("frmSeek");
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 3; ++i) {
        lblField[static_cast<size_t>(i)] = new QLabel(this);
        lblField[static_cast<size_t>(i)]->setObjectName(QString("lblField%1").arg(i + 1));
        txtField[static_cast<size_t>(i)] = new QLineEdit(this);
        txtField[static_cast<size_t>(i)]->setObjectName(QString("txtField%1").arg(i + 1));
        grid->addWidget(lblField[static_cast<size_t>(i)], i, 0);
        grid->addWidget(new QLabel("=", this), i, 1);
        grid->addWidget(txtField[static_cast<size_t>(i)], i, 2);
    }
    cmdSeek = new QPushButton("Seek", this);
    cmdSeek->setObjectName("cmdSeek");
    cmdSeek->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setAutoDefault(false);
    grid->addWidget(cmdSeek, 0, 3);
    grid->addWidget(cmdCancel, 1, 3);
    grid->setColumnStretch(2, 1);
    connect(cmdSeek, &QPushButton::clicked, this, &frmSeek::cmdSeek_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSeek::cmdCancel_Click);
    Form_Load();
}

bool frmSeek::CanSeek(frmGrid* grid) {
    if (!grid || !grid->Data1->Recordset()) return false;
    if (grid->IsaLinkedTable) {
        Prompts::message("You cannot set an index on a linked table.", "Error", Prompts::Icon::Information);
        return false;
    }
    if (grid->Data1->Recordset()->Index().empty()) {
        RecordDialogs::Refuse("You must set an index first.");
        return false;
    }
    if (indexFields(grid).size() > 3) {
        RecordDialogs::Refuse("Your index cannot have more than three fields.");
        return false;
    }
    return true;
}

void frmSeek::Form_Load() {
    RecordDialogs::Place(this, 500, 1500, 8000, 2415);
    grid_ = RecordDialogs::CurrentGrid();
    fieldCount_ = 0;
    if (grid_ && grid_->Data1->Recordset()) {
        try {
            for (const std::string& name : indexFields(grid_)) {
                if (fieldCount_ < 3) lblField[static_cast<size_t>(fieldCount_)]->setText(QString::fromStdString(name));
                ++fieldCount_;
            }
        } catch (const engine::Error& e) {
            Prompts::message(QString::fromStdString(e.description()));
        }
    }
    setWindowTitle("Seek   " + (grid_ ? grid_->statusname.toString() : QString()));
    txtField[0]->setFocus();
}

bool frmSeek::CheckFields() {
    auto empty = [this](int i) { return txtField[static_cast<size_t>(i)]->text().trimmed().isEmpty(); };
    auto labelled = [this](int i) { return !lblField[static_cast<size_t>(i)]->text().isEmpty(); };
    if (empty(0) || (labelled(1) && empty(1)) || (labelled(2) && empty(2))) {
        RecordDialogs::Refuse("Each indexed field must have a value to search for.");
        return false;
    }
    return true;
}

bool frmSeek::CheckQuotes() {
    for (QLineEdit* box : txtField)
        if (box->text().contains('\'') || box->text().contains('"')) {
            RecordDialogs::Refuse("Values to search for should not be enclosed in quotes.");
            return false;
        }
    return true;
}

void frmSeek::cmdSeek_Click() {
    const bool fieldsOk = CheckFields();
    const bool quotesOk = CheckQuotes();  // both run: both messages may show
    if (!fieldsOk || !quotesOk) return;
    try {
        const auto rs = grid_ ? grid_->Data1->Recordset() : nullptr;
        if (!rs) return;
        const std::string saved = rs->Bookmark();
        std::vector<engine::Variant> keys;
        for (int i = 0; i < fieldCount_ && i < 3; ++i)
            keys.push_back(engine::Variant::text(txtField[static_cast<size_t>(i)]->text().toStdString()));
        if (fieldCount_ < 1 || fieldCount_ > 3) return;
        rs->Seek("=", keys);
        const bool found = !rs->NoMatch();
        if (!found) rs->SetBookmark(saved);
        grid_->Data1->NotifyMoved();
        RecordDialogs::ReportFound(grid_, found);
        done(QDialog::Accepted);
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

void frmSeek::cmdCancel_Click() { done(QDialog::Rejected); }
