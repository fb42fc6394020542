#include "records/frmUpdateTableJoin.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdlib>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "relations/classrelation.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"

namespace {

QComboBox* listCombo(QWidget* parent, const char* name) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    return c;
}

QStringList fieldNames(const engine::Recordset& rs) {
    QStringList names;
    for (const auto& f : const_cast<engine::Recordset&>(rs).Fields()) names << QString::fromStdString(f->Name());
    return names;
}

// The leading number of a text, as the comparisons read it ("12abc" is 12).
double leadingNumber(const QString& text) { return std::strtod(text.trimmed().toUtf8().constData(), nullptr); }

bool isNumeric(const QString& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

QWidget* frameOf(frmGrid* grid) { return grid->subWindow() ? static_cast<QWidget*>(grid->subWindow()) : grid; }

}  // namespace

frmUpdateTableJoin::frmUpdateTableJoin(QWidget* owner) : QDialog(owner) {
    setObjectName("frmUpdateTableJoin");
    ComboUpdateField = listCombo(this, "ComboUpdateField");
    ComboPickChild = listCombo(this, "ComboPickChild");
    auto* with = new QGroupBox("With", this);
    OptionWith[0] = new QRadioButton("Field", with);
    OptionWith[1] = new QRadioButton("Value", with);
    ComboChildField = listCombo(with, "ComboChildField");
    txtWithValue = new QLineEdit(with);
    txtWithValue->setObjectName("txtWithValue");
    auto* withLayout = new QGridLayout(with);
    withLayout->addWidget(OptionWith[0], 0, 0);
    withLayout->addWidget(new QLabel("Child Field to update from", with), 0, 1);
    withLayout->addWidget(ComboChildField, 0, 2);
    withLayout->addWidget(OptionWith[1], 1, 0);
    withLayout->addWidget(txtWithValue, 1, 2);
    auto* where = new QGroupBox("Where", this);
    OptionWhere[1] = new QRadioButton("When a Child Record is Found", where);
    OptionWhere[2] = new QRadioButton(where);
    ComboWhereFields = listCombo(where, "ComboWhereFields");
    ComboComparison = listCombo(where, "ComboComparison");
    txtWhereValue = new QLineEdit(where);
    txtWhereValue->setObjectName("txtWhereValue");
    auto* whereLayout = new QGridLayout(where);
    whereLayout->addWidget(OptionWhere[1], 0, 0, 1, 4);
    whereLayout->addWidget(OptionWhere[2], 1, 0);
    whereLayout->addWidget(ComboWhereFields, 1, 1);
    whereLayout->addWidget(ComboComparison, 1, 2);
    whereLayout->addWidget(txtWhereValue, 1, 3);
    whereLayout->addWidget(new QLabel("Child field to test", where), 2, 1);
    for (size_t i = 0; i < 2; ++i) OptionWith[i]->setObjectName(QString("OptionWith%1").arg(i));
    for (size_t i = 1; i < 3; ++i) OptionWhere[i]->setObjectName(QString("OptionWhere%1").arg(i));
    cmdReplace = new QPushButton("Replace", this);
    cmdReplace->setObjectName("cmdReplace");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdReplace, cmdCancel}) b->setAutoDefault(false);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel("Parent field to update", this), 0, 0);
    top->addWidget(ComboUpdateField, 0, 1);
    top->addWidget(new QLabel("Child table to update from", this), 1, 0);
    top->addWidget(ComboPickChild, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdReplace);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(with);
    layout->addWidget(where);
    layout->addLayout(buttons);

    connect(ComboPickChild, &QComboBox::activated, this, &frmUpdateTableJoin::ComboPickChild_Click);
    connect(ComboWhereFields, &QComboBox::activated, this, [this] { OptionWhere[2]->setChecked(true); });
    connect(txtWithValue, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) OptionWith[1]->setChecked(true);
    });
    connect(cmdReplace, &QPushButton::clicked, this, &frmUpdateTableJoin::cmdReplace_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpdateTableJoin::cmdCancel_Click);
    Form_Load();
}

bool frmUpdateTableJoin::HasChildTables(frmGrid* grid) {
    if (!grid) return false;
    for (ClassRelation* r : grid->ColRelations)
        if (r->Child && r->Child->RSetType.toInt() == 1) return true;
    Prompts::message("No child tables are set.", "Error", Prompts::Icon::Information);
    return false;
}

void frmUpdateTableJoin::Form_Load() {
    RecordDialogs::Place(this, 500, 1500, 6540, 4560);
    grid_ = RecordDialogs::CurrentGrid();
    if (!grid_ || !grid_->Data1->Recordset()) return;
    ComboUpdateField->addItems(fieldNames(*grid_->Data1->Recordset()));
    for (ClassRelation* r : grid_->ColRelations)
        if (r->Child && r->Child->RSetType.toInt() == 1) ComboPickChild->addItem(r->Child->statusname.toString());
    ComboComparison->addItems({"=", "<", ">", "<=", ">=", "<>"});
    for (QComboBox* c : {ComboUpdateField, ComboPickChild, ComboChildField, ComboWhereFields}) c->setCurrentIndex(-1);
    OptionWith[0]->setChecked(true);
    OptionWhere[1]->setChecked(true);
    ComboComparison->setCurrentIndex(0);
    setWindowTitle("Update Table Join  " + grid_->statusname.toString());
}

void frmUpdateTableJoin::ComboPickChild_Click() {
    ComboChildField->clear();
    ComboWhereFields->clear();
    child_ = nullptr;
    relationNo_ = 0;
    short n = 0;
    for (ClassRelation* r : grid_->ColRelations) {
        ++n;
        if (r->Child && r->Child->statusname.toString() == ComboPickChild->currentText()) {
            child_ = r->Child;
            relationNo_ = n;
            break;
        }
    }
    if (!child_ || !child_->Data1->Recordset()) return;
    const QStringList names = fieldNames(*child_->Data1->Recordset());
    ComboChildField->addItems(names);
    ComboWhereFields->addItems(names);
    ComboChildField->setCurrentIndex(-1);
    ComboWhereFields->setCurrentIndex(-1);
}

bool frmUpdateTableJoin::refused() {
    const bool condition = OptionWhere[2]->isChecked();
    const QString op = ComboComparison->currentText();
    const QString value = txtWhereValue->text();
    auto refuse = [](const QString& text) { return RecordDialogs::Refuse(text), true; };
    if (ComboUpdateField->currentIndex() < 0) return refuse("No field to update was supplied.");
    if (ComboPickChild->currentIndex() < 0 || !child_) return refuse("No Child was selected.");
    if (OptionWith[0]->isChecked() && ComboChildField->currentIndex() < 0) return refuse("No replacement field was selected.");
    if (OptionWith[1]->isChecked() && txtWithValue->text().isEmpty()) return refuse("No replacement value was supplied.");
    if (condition && (ComboWhereFields->currentIndex() < 0 || value.trimmed().isEmpty()))
        return refuse("The where condition is incomplete.");
    if (condition && op != "=" && op != "<>" && !isNumeric(value)) {
        Prompts::message("Comparators <, >, <= and >= require a numeric value to compare to.", "Error",
                         Prompts::Icon::Information);
        return true;
    }
    if (value.contains('\'') || value.contains('"')) return refuse("Values to search for should not be enclosed in quotes.");
    return false;
}

bool frmUpdateTableJoin::meetsCondition() const {
    if (!child_->FoundChild.toBool()) return false;
    if (!OptionWhere[2]->isChecked()) return true;
    const engine::Variant v = child_->Data1->Recordset()->Fields(ComboWhereFields->currentText().toStdString()).Value();
    if (v.isNull()) return false;  // a Null meets no comparison
    const QString op = ComboComparison->currentText();
    if (op == "=" || op == "<>") return (QString::fromStdString(v.toText()) == txtWhereValue->text()) == (op == "=");
    const double value = v.toDouble(), number = leadingNumber(txtWhereValue->text());
    if (op == "<") return value < number;
    if (op == ">") return value > number;
    if (op == "<=") return value <= number;
    return value >= number;
}

void frmUpdateTableJoin::DoUpdate() {
    engine::Field& destination = grid_->Data1->Recordset()->Fields(ComboUpdateField->currentText().toStdString());
    if (OptionWith[0]->isChecked()) {
        engine::Variant v = child_->Data1->Recordset()->Fields(ComboChildField->currentText().toStdString()).Value();
        // A Text field takes what fits of a longer value.
        if (destinationType_ == engine::dbText && !v.isNull())
            v = engine::Variant::text(QString::fromStdString(v.toText()).left(destinationSize_).toStdString());
        destination.SetValue(v);
    } else {
        destination.SetValue(engine::Variant::text(txtWithValue->text().toStdString()));
    }
    ++count_;
}

void frmUpdateTableJoin::finish() {
    const auto rs = grid_->Data1->Recordset();
    try {
        if (rs->RecordCount() > 0) rs->MoveFirst();
    } catch (const engine::Error&) {
    }
    frameOf(grid_)->show();
    grid_->Data1->Refresh();
    // Last, so that the grid's own row report does not hide the count.
    RecordDialogs::Status("  " + grid_->statusname.toString() + "  " + QString::number(count_) + "  Updates");
    QApplication::restoreOverrideCursor();
    done(QDialog::Accepted);
}

void frmUpdateTableJoin::cmdReplace_Click() {
    if (!grid_ || refused()) return;
    const auto rs = grid_->Data1->Recordset();
    count_ = 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!rs->Updatable()) {
        Prompts::message("The recordset is not updateable. See the help file on this dialog.", "Error",
                         Prompts::Icon::Information);
        finish();
        return;
    }
    hide();
    frameOf(grid_)->hide();
    try {
        ClassRelation* relation = grid_->ColRelations.value(relationNo_ - 1);
        if (!relation) throw engine::Error(3420, "Object invalid or no longer set: the relation to the child is gone.");
        // The field the value goes to: of the parent's table, or the column a query grid shows.
        const engine::Field& destination = grid_->Data1->Recordset()->Fields(ComboUpdateField->currentText().toStdString());
        destinationType_ = destination.Type();
        destinationSize_ = destination.Size();
        if (OptionWith[0]->isChecked()) {
            const int sourceType =
                child_->db1->TableDefs()[child_->TableName.toString().toStdString()].Fields()[ComboChildField->currentText().toStdString()].Type();
            if (sourceType != destinationType_)
                Prompts::message("The Source and destination data type are not the same. The update may not work.", "Warning",
                                 Prompts::Icon::Information);
        }
        auto value = [&](const QString& name) { return rs->Fields(name.toStdString()).Value(); };
        RecordDialogs::Progress progress(rs->RecordCount());
        RecordDialogs::RunTransaction run(*grid_->db1);
        long walked = 0;
        for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext(), ++walked) {
            engine::Variant k1 = value(relation->ParentField1), k2, k3;
            if (!relation->ChildField2.isEmpty()) k2 = value(relation->ParentField2);
            if (!relation->ChildField3.isEmpty()) k3 = value(relation->ParentField3);
            child_->SynchTableWithParent(relation, k1, k2, k3);
            rs->Edit();
            if (meetsCondition()) DoUpdate();
            rs->Update();
            // Every 200 records walked: the count alone may stay at 0 for long.
            if (walked % 200 == 0)
                progress.Report(walked, "  " + grid_->statusname.toString() + "  " + QString::number(count_) + "  Updates");
        }
    } catch (const engine::Error& e) {
        if (rs->EditMode() != engine::dbEditNone) rs->CancelUpdate();
        QApplication::restoreOverrideCursor();
        Prompts::message(QString::fromStdString(e.description()));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    finish();
}

void frmUpdateTableJoin::cmdCancel_Click() { done(QDialog::Rejected); }
