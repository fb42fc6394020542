#include "relations/frmRelations.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "grids/frmGrid.h"
#include "relations/classrelation.h"
#include "shell/prompts.h"
#include "shell/twips.h"

namespace {

QComboBox* fieldCombo(QWidget* parent, const QString& name) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumContentsLength(18);
    return c;
}

// A frame captioned "Relationship" with the column headings and three rows.
QGroupBox* frame(QWidget* parent, const char* name, QGridLayout*& grid) {
    auto* box = new QGroupBox("Relationship", parent);
    box->setObjectName(name);
    grid = new QGridLayout(box);
    grid->addWidget(new QLabel("Child Field Name", box), 0, 0);
    grid->addWidget(new QLabel("Parent Field Name", box), 0, 2);
    for (int row = 1; row <= 3; ++row) grid->addWidget(new QLabel("=", box), row, 1);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void addFields(const std::shared_ptr<engine::Recordset>& rs, QComboBox* combo, bool skipDotted) {
    if (!rs) return;
    for (const auto& f : rs->Fields()) {
        QString name = QString::fromStdString(f->Name());
        if (!skipDotted || !name.contains('.')) combo->addItem(name);
    }
}

void fail(const QString& text) { Prompts::message(text, "Error", Prompts::Icon::Exclamation); }

}  // namespace

frmRelations::frmRelations(frmGrid* parentGrid, frmGrid* childGrid, QWidget* owner)
    : QDialog(owner), parentGrid_(parentGrid), childGrid_(childGrid) {
    setObjectName("frmRelations");
    setWindowTitle("Relation Builder");
    auto* layout = new QVBoxLayout(this);

    QGridLayout* grid = nullptr;
    FrameChildIndex = frame(this, "FrameChildIndex", grid);
    for (int i = 0; i < 3; ++i) {
        lblField[i] = new QLabel(FrameChildIndex);
        lblField[i]->setObjectName(QString("lblField%1").arg(i + 1));
        ComboIndexParentField[i] = fieldCombo(FrameChildIndex, QString("ComboIndexParentField%1").arg(i + 1));
        grid->addWidget(lblField[i], i + 1, 0);
        grid->addWidget(ComboIndexParentField[i], i + 1, 2);
    }
    cmdIndexSet = button(FrameChildIndex, "cmdIndexSet", "Set");
    cmdIndexClose = button(FrameChildIndex, "cmdIndexClose", "Cancel");
    grid->addWidget(cmdIndexSet, 4, 0);
    grid->addWidget(cmdIndexClose, 4, 2);
    layout->addWidget(FrameChildIndex);

    frameChildQuery = frame(this, "frameChildQuery", grid);
    for (int i = 0; i < 3; ++i) {
        comboChildField[i] = fieldCombo(frameChildQuery, QString("comboChildField%1").arg(i + 1));
        comboParentField[i] = fieldCombo(frameChildQuery, QString("comboParentField%1").arg(i + 1));
        grid->addWidget(comboChildField[i], i + 1, 0);
        grid->addWidget(comboParentField[i], i + 1, 2);
    }
    cmdQuerySet = button(frameChildQuery, "cmdQuerySet", "Set");
    cmdQueryClear = button(frameChildQuery, "cmdQueryClear", "Clear");
    cmdQueryClose = button(frameChildQuery, "cmdQueryClose", "Cancel");
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {cmdQuerySet, cmdQueryClear, cmdQueryClose}) row->addWidget(b);
    grid->addLayout(row, 4, 0, 1, 3);
    layout->addWidget(frameChildQuery);
    layout->addStretch();

    connect(cmdIndexSet, &QPushButton::clicked, this, &frmRelations::SetChildIndex);
    connect(cmdQuerySet, &QPushButton::clicked, this, &frmRelations::SetChildQuery);
    connect(cmdQueryClear, &QPushButton::clicked, this, &frmRelations::cmdQueryClear_Click);
    connect(cmdIndexClose, &QPushButton::clicked, this, &frmRelations::Close_Click);
    connect(cmdQueryClose, &QPushButton::clicked, this, &frmRelations::Close_Click);
    Form_Load();
}

frmRelations::~frmRelations() = default;

void frmRelations::Form_Load() {
    QPoint origin = parentWidget() ? parentWidget()->geometry().topLeft() : QPoint();
    setGeometry(origin.x() + Twips::toPixelsX(500), origin.y() + Twips::toPixelsY(500), Twips::toPixelsX(6015),
                Twips::toPixelsY(4005));
    IsSet = false;
    const bool table = childGrid_ && childGrid_->RSetType.toInt() == 1;
    FrameChildIndex->setVisible(table);
    frameChildQuery->setVisible(!table);
    try {
        if (table) LoadIndexFields();
        else LoadQueryFields();
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

void frmRelations::LoadIndexFields() {
    // The child's current index, in its field order (at most three fields).
    const std::string index = childGrid_->rs1->Index();
    auto& table = childGrid_->db1->TableDefs()[childGrid_->TableName.toString().toStdString()];
    const auto& fields = table.Indexes()[index].Fields();
    for (int i = 0; i < 3; ++i)
        lblField[i]->setText(i < fields.Count() ? QString::fromStdString(fields[i].Name()) : QString());
    for (QComboBox* c : ComboIndexParentField) addFields(parentGrid_->rs1, c, true);
    for (QComboBox* c : ComboIndexParentField) c->setCurrentIndex(-1);
}

void frmRelations::LoadQueryFields() {
    for (QComboBox* c : comboChildField) addFields(childGrid_->rs1, c, false);
    for (QComboBox* c : comboParentField) addFields(parentGrid_->rs1, c, false);
    for (auto* list : {&comboChildField, &comboParentField})
        for (QComboBox* c : *list) c->setCurrentIndex(-1);
}

void frmRelations::buildRelation(const QString& type, const std::array<QString, 3>& childFields,
                                 const std::array<QComboBox*, 3>& parentCombos) {
    NextRelation = std::make_unique<ClassRelation>();
    NextRelation->ChildField1 = childFields[0];
    NextRelation->ChildField2 = childFields[1];
    NextRelation->ChildField3 = childFields[2];
    NextRelation->ParentField1 = parentCombos[0]->currentText();
    NextRelation->ParentField2 = parentCombos[1]->currentText();
    NextRelation->ParentField3 = parentCombos[2]->currentText();
    NextRelation->RelationType = type;
    NextRelation->Child = childGrid_;
    IsSet = true;
    hide();
    done(QDialog::Accepted);
}

void frmRelations::SetChildIndex() {
    auto empty = [](QComboBox* c) { return c->currentText().isEmpty(); };
    if (empty(ComboIndexParentField[0]) || (empty(ComboIndexParentField[1]) && !lblField[1]->text().isEmpty()) ||
        (empty(ComboIndexParentField[2]) && !lblField[2]->text().isEmpty())) {
        fail("Each indexed field must have a value to search for.");
        return;
    }
    buildRelation("ChildIndex", {lblField[0]->text(), lblField[1]->text(), lblField[2]->text()}, ComboIndexParentField);
}

void frmRelations::SetChildQuery() {
    auto empty = [](QComboBox* c) { return c->currentText().isEmpty(); };
    if (empty(comboChildField[0]) || empty(comboParentField[0])) {
        fail("At least one child and parent field must be selected.");
        return;
    }
    for (int i = 1; i < 3; ++i)
        if (empty(comboChildField[i]) != empty(comboParentField[i])) {
            fail("Your relation definition is incomplete.");
            return;
        }
    buildRelation("ChildQuery",
                  {comboChildField[0]->currentText(), comboChildField[1]->currentText(), comboChildField[2]->currentText()},
                  comboParentField);
}

void frmRelations::cmdQueryClear_Click() {
    for (auto* list : {&comboChildField, &comboParentField})
        for (QComboBox* c : *list) c->clear();
}

void frmRelations::Close_Click() {
    IsSet = false;
    reject();
}
