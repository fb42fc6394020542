#include "schema/frmIndexes.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmTableOpen.h"
#include "shell/getgrid.h"
#include "shell/prompts.h"

using engine::Error;

namespace {

const QString kBlank = QStringLiteral("  ");
const QString kMark = QStringLiteral("^ ");

// The hourglass while it lives; an error ending the handler restores the pointer too.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// An index as it was, so that one replaced by an index the engine refuses
// can be put back.
struct IndexCopy {
    std::string name;
    std::vector<std::pair<std::string, long>> fields;  // name, Attributes
    bool primary = false, unique = false, ignoreNulls = false;
};

IndexCopy copyOf(const engine::Index& ix) {
    IndexCopy c{ix.Name(), {}, ix.Primary(), ix.Unique(), ix.IgnoreNulls()};
    for (const auto& f : ix.Fields()) c.fields.emplace_back(f->Name(), f->Attributes());
    return c;
}

void append(engine::TableDef& td, const IndexCopy& c) {
    auto ix = td.CreateIndex(c.name);
    for (const auto& [name, attributes] : c.fields) {
        auto f = ix->CreateField(name);
        f->SetAttributes(attributes);
        ix->Fields().Append(f);
    }
    ix->SetPrimary(c.primary);
    ix->SetUnique(c.unique);
    ix->SetIgnoreNulls(c.ignoreNulls);
    td.Indexes().Append(ix);
}

QString order(long attributes) { return attributes == 0 ? QStringLiteral("ASC") : QStringLiteral("DESC"); }

// Check boxes that show a value: clicks and keys do not change them.
class DisplayOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease: return true;
        default: return false;
        }
    }
};

// The lists line up their marks and orders in a fixed-pitch font.
QFont fixedPitchFont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics m(f);
    if (m.horizontalAdvance('i') != m.horizontalAdvance('W')) {
        f.setFamily("Monospace");
        f.setStyleHint(QFont::TypeWriter);
    }
    return f;
}

}  // namespace

frmIndexes::frmIndexes(QWidget* parent) : QDialog(parent) {
    setObjectName("frmIndexes");
    setWindowTitle("Indexes");
    const QFont fixed = fixedPitchFont();
    auto list = [&](QListWidget*& l, const char* name, QWidget* owner) {
        l = new QListWidget(owner);
        l->setObjectName(name);
        l->setFont(fixed);
    };
    auto check = [](QCheckBox*& c, const char* name, const char* text, QWidget* owner) {
        c = new QCheckBox(text, owner);
        c->setObjectName(name);
    };
    auto button = [](QPushButton*& b, const char* name, const QString& text, QWidget* owner) {
        b = new QPushButton(text, owner);
        b->setObjectName(name);
        b->setAutoDefault(false);
    };

    frameIndexes = new QGroupBox("Indexes", this);
    frameIndexes->setObjectName("frameIndexes");
    list(lstIndexes, "lstIndexes", frameIndexes);
    list(lstDescrption, "lstDescrption", frameIndexes);
    lstDescrption->setSelectionMode(QAbstractItemView::NoSelection);
    check(chkIsPrimary, "chkIsPrimary", "Primary", frameIndexes);
    check(chkIsUnique, "chkIsUnique", "Unique", frameIndexes);
    check(chkIsIgnoreNulls, "chkIsIgnoreNulls", "Ignore Nulls", frameIndexes);
    auto* displayOnly = new DisplayOnly(this);
    for (QCheckBox* c : {chkIsPrimary, chkIsUnique, chkIsIgnoreNulls}) {
        c->installEventFilter(displayOnly);
        c->setFocusPolicy(Qt::NoFocus);
    }
    button(cmdSet, "cmdSet", "Set", frameIndexes);
    button(cmdModify, "cmdModify", "Modify", frameIndexes);
    button(cmdDelete, "cmdDelete", "Delete", frameIndexes);
    button(cmdClose, "cmdClose", "Close", frameIndexes);

    auto* indexesLayout = new QGridLayout(frameIndexes);
    auto* lblIndexes = new QLabel("Indexes", frameIndexes);
    lblIndexes->setBuddy(lstIndexes);
    auto* lblDescription = new QLabel("Index Description", frameIndexes);
    lblDescription->setBuddy(lstDescrption);
    indexesLayout->addWidget(lblIndexes, 0, 0);
    indexesLayout->addWidget(lblDescription, 0, 1);
    indexesLayout->addWidget(lstIndexes, 1, 0);
    indexesLayout->addWidget(lstDescrption, 1, 1);
    auto* properties = new QVBoxLayout;
    for (QCheckBox* c : {chkIsPrimary, chkIsUnique, chkIsIgnoreNulls}) properties->addWidget(c);
    properties->addStretch();
    indexesLayout->addLayout(properties, 1, 2);
    auto* indexButtons = new QHBoxLayout;
    for (QPushButton* b : {cmdSet, cmdModify, cmdDelete, cmdClose}) indexButtons->addWidget(b);
    indexesLayout->addLayout(indexButtons, 2, 0, 1, 3);

    frameCreate = new QGroupBox("Create a New Index", this);
    frameCreate->setObjectName("frameCreate");
    txtIDXName = new QLineEdit(frameCreate);
    txtIDXName->setObjectName("txtIDXName");
    list(lstFields, "lstFields", frameCreate);
    list(lstIndexfield, "lstIndexfield", frameCreate);
    button(cmdAdd, "cmdAdd", QString(QChar(0x2192)), frameCreate);
    cmdAdd->setToolTip("Add the selected field to the index");
    button(cmdRemove, "cmdRemove", QString(QChar(0x2190)), frameCreate);
    cmdRemove->setToolTip("Take the selected field out of the index");
    frameOrder = new QGroupBox("Field Order", frameCreate);
    frameOrder->setObjectName("frameOrder");
    optASC[0] = new QRadioButton("ASC", frameOrder);
    optASC[0]->setObjectName("optASC0");
    optASC[1] = new QRadioButton("DESC", frameOrder);
    optASC[1]->setObjectName("optASC1");
    auto* orderLayout = new QVBoxLayout(frameOrder);
    orderLayout->addWidget(optASC[0]);
    orderLayout->addWidget(optASC[1]);
    check(chkPrimary, "chkPrimary", "Primary", frameCreate);
    check(chkUnique, "chkUnique", "Unique", frameCreate);
    check(chkIgnoreNulls, "chkIgnoreNulls", "Ignore Nulls", frameCreate);
    button(cmdCreateIndex, "cmdCreateIndex", "Add", frameCreate);

    auto* createLayout = new QGridLayout(frameCreate);
    auto* lblName = new QLabel("Index Name", frameCreate);
    lblName->setBuddy(txtIDXName);
    createLayout->addWidget(lblName, 0, 0);
    createLayout->addWidget(txtIDXName, 0, 1, 1, 3);
    createLayout->addWidget(lstFields, 1, 0, 1, 2);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch();
    arrows->addWidget(cmdAdd);
    arrows->addWidget(cmdRemove);
    arrows->addStretch();
    createLayout->addLayout(arrows, 1, 2);
    createLayout->addWidget(lstIndexfield, 1, 3);
    auto* options = new QVBoxLayout;
    options->addWidget(frameOrder);
    for (QCheckBox* c : {chkPrimary, chkUnique, chkIgnoreNulls}) options->addWidget(c);
    options->addStretch();
    options->addWidget(cmdCreateIndex);
    createLayout->addLayout(options, 1, 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameIndexes);
    layout->addWidget(frameCreate);
    resize(640, 560);

    // The selected entry, not merely the one with the focus frame, is the one
    // described and the one Set, Modify and Delete act on.
    connect(lstIndexes, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectedIndexName().isEmpty()) lstIndexes_Click();
    });
    connect(cmdAdd, &QPushButton::clicked, this, &frmIndexes::cmdAdd_Click);
    connect(lstFields, &QListWidget::itemDoubleClicked, this, [this] { cmdAdd_Click(); });
    connect(cmdRemove, &QPushButton::clicked, this, &frmIndexes::cmdRemove_Click);
    connect(lstIndexfield, &QListWidget::itemDoubleClicked, this, [this] { cmdRemove_Click(); });
    connect(cmdCreateIndex, &QPushButton::clicked, this, &frmIndexes::cmdCreateIndex_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmIndexes::cmdDelete_Click);
    connect(cmdModify, &QPushButton::clicked, this, &frmIndexes::cmdModify_Click);
    connect(cmdSet, &QPushButton::clicked, this, &frmIndexes::cmdSet_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmIndexes::cmdClose_Click);
    // A name the user types is kept; clearing the box lets the fields build it again.
    connect(txtIDXName, &QLineEdit::textEdited, this, [this](const QString& text) { nameBuilt_ = text.isEmpty(); });
}

frmIndexes::~frmIndexes() {
    if (dbase) dbase->Close();
}

frmGrid* frmIndexes::Grid() const { return grid_; }

void frmIndexes::showError(const Error& e) { Prompts::message(QString::fromStdString(e.description())); }

engine::TableDef& frmIndexes::table() const {
    if (!dbase || !dbase->IsOpen()) throw Error(engine::err::DatabaseClosed, "Object invalid or no longer set.");
    return dbase->TableDefs()[tableName_.toStdString()];
}

// ------------------------------------------------------------------ loading

bool frmIndexes::Form_Load() {
    optASC[0]->setChecked(true);
    grid_ = GetGrid::GetGridWindow(moduleCreateGrid::CurrentWA);
    if (!grid_) {
        Prompts::message("No grid window is open in the selected work area.");
        return false;
    }
    tableName_ = grid_->TableName.toString();
    setWindowTitle("Indexes" + kBlank + grid_->statusname.toString());
    SerializeGrid();
    try {
        dbase = engine::DBEngine::OpenDatabase(grid_->DBPath.toStdString());
        LoadFields();
        LoadIndexes();
        CheckforSetIndex();
        // Without a set index nothing is chosen yet: the list does not take the
        // focus (and a focus frame that looks like a choice) at the start.
        if (selectedIndexName().isEmpty()) txtIDXName->setFocus();
    } catch (const Error& e) {
        showError(e);
        return false;
    }
    return true;
}

void frmIndexes::LoadFields() {
    lstFields->clear();
    for (const auto& f : table().Fields())
        if (f->Type() != engine::dbMemo) lstFields->addItem(QString::fromStdString(f->Name()));
}

void frmIndexes::LoadIndexes() {
    lstIndexes->clear();
    for (const auto& ix : table().Indexes()) lstIndexes->addItem(kBlank + QString::fromStdString(ix->Name()));
}

QString frmIndexes::currentGridIndex() const {
    if (!grid_ || !grid_->Data1->Recordset() || !grid_->Data1->Recordset()->IsOpen()) return {};
    return QString::fromStdString(grid_->Data1->Recordset()->Index());
}

void frmIndexes::CheckforSetIndex() {
    const QString set = currentGridIndex();
    if (set.isEmpty()) return;
    for (int i = 0; i < lstIndexes->count(); ++i) {
        QListWidgetItem* item = lstIndexes->item(i);
        if (item->text().compare(kBlank + set, Qt::CaseInsensitive) != 0) continue;
        item->setText(kMark + item->text().mid(2));
        lstIndexes->setCurrentRow(i);
        cmdSet->setText("No Order");
        return;
    }
}

void frmIndexes::lstIndexes_Click() {
    const auto selected = lstIndexes->selectedItems();
    if (selected.isEmpty()) return;
    QListWidgetItem* item = selected[0];
    try {
        const engine::Index& ix = table().Indexes()[item->text().mid(2).toStdString()];
        lstDescrption->clear();
        for (const auto& f : ix.Fields())
            lstDescrption->addItem(QString::fromStdString(f->Name()) + kBlank + order(f->Attributes()));
        chkIsPrimary->setChecked(ix.Primary());
        chkIsUnique->setChecked(ix.Unique());
        chkIsIgnoreNulls->setChecked(ix.IgnoreNulls());
        cmdSet->setText(item->text().startsWith('^') ? "No Order" : "Set");
    } catch (const Error& e) {
        showError(e);
    }
}

// ------------------------------------------------------- the creation area

QString frmIndexes::GetFieldName(const QString& entry) { return entry.left(entry.lastIndexOf(kBlank)); }

QString frmIndexes::GetOrder(const QString& entry) { return entry.mid(entry.lastIndexOf(kBlank) + 2); }

void frmIndexes::cmdAdd_Click() {
    QListWidgetItem* item = lstFields->currentItem();
    if (!item || !item->isSelected()) return;
    const QString field = item->text();
    // The name is built from the chosen fields unless the user typed one.
    if (nameBuilt_ || txtIDXName->text().isEmpty()) {
        txtIDXName->setText(txtIDXName->text() + field);
        nameBuilt_ = true;
    }
    lstIndexfield->addItem(field + kBlank + (optASC[0]->isChecked() ? "ASC" : "DESC"));
    delete lstFields->takeItem(lstFields->row(item));
}

void frmIndexes::cmdRemove_Click() {
    const auto selected = lstIndexfield->selectedItems();
    if (selected.size() != 1) return;
    lstFields->addItem(GetFieldName(selected[0]->text()));
    delete lstIndexfield->takeItem(lstIndexfield->row(selected[0]));
    if (nameBuilt_) {
        QString name;
        for (int i = 0; i < lstIndexfield->count(); ++i) name += GetFieldName(lstIndexfield->item(i)->text());
        txtIDXName->setText(name);
    }
}

void frmIndexes::ClearBoxes() {
    lstIndexfield->clear();
    try {
        LoadFields();
    } catch (const Error& e) {
        showError(e);
    }
    for (QCheckBox* c : {chkPrimary, chkUnique, chkIgnoreNulls}) c->setChecked(false);
    txtIDXName->clear();
    nameBuilt_ = true;
    optASC[0]->setChecked(true);
}

// ------------------------------------------------- closing and reopening

void frmIndexes::SerializeGrid() {
    if (!grid_) return;  // keeps the definition of the grid last seen
    saved_.DBPath = grid_->DBPath;
    saved_.source = grid_->OriginalRSSource;
    saved_.statusname = grid_->statusname;
    saved_.RSetType = grid_->RSetType;
    saved_.TableName = grid_->TableName;
    saved_.left = grid_->LeftTwips();
    saved_.top = grid_->TopTwips();
    saved_.width = grid_->WidthTwips();
    saved_.height = grid_->HeightTwips();
    saved_.slot = grid_->selectedWA;
}

void frmIndexes::closeGrid() {
    SerializeGrid();
    if (grid_) moduleCreateGrid::CloseGrid(saved_.slot);
    grid_ = nullptr;
}

void frmIndexes::reopenGrid() {
    if (saved_.slot < 0) return;
    if (moduleCreateGrid::CurrentWA != saved_.slot) moduleCreateGrid::CloseGrid(saved_.slot);  // selects its line
    frmTableOpen opener(parentWidget());  // never shown: its hand-over opens the grid
    opener.MakeGrid(saved_.DBPath, saved_.source, saved_.statusname, saved_.RSetType, saved_.TableName);
    opener.DoClose();
    grid_ = GetGrid::GetGridWindow(saved_.slot);
    if (grid_) grid_->MoveTwips(saved_.left, saved_.top, saved_.width, saved_.height);
}

void frmIndexes::setGridIndex(const QString& name) {
    if (!grid_ || !grid_->Data1->Recordset())
        throw Error(engine::err::DatabaseClosed, "The grid window of table '" + tableName_.toStdString() +
                                                     "' is closed; open the table again to choose its order.");
    grid_->Data1->Recordset()->SetIndex(name.toStdString());
    grid_->Data1->Refresh();
}

QString frmIndexes::selectedIndexName() const {
    QListWidgetItem* item = lstIndexes->currentItem();
    return item && item->isSelected() ? item->text().mid(2) : QString();
}

bool frmIndexes::requireSelectedIndex() {
    if (!selectedIndexName().isEmpty()) return true;
    Prompts::message("Please select an index.", "Error", Prompts::Icon::Exclamation);
    return false;
}

void frmIndexes::selectIndexEntry(const QString& name) {
    for (int i = 0; i < lstIndexes->count(); ++i)
        if (lstIndexes->item(i)->text().mid(2).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            lstIndexes->setCurrentRow(i);
            return;
        }
}

// ----------------------------------------------------------------- buttons

void frmIndexes::cmdCreateIndex_Click() {
    const QString name = txtIDXName->text().trimmed();
    if (name.isEmpty()) {
        Prompts::message("Please enter an index name.", "Error", Prompts::Icon::Information);
        return;
    }
    if (lstIndexfield->count() == 0) {
        Prompts::message("Please select a field to index on.", "Error", Prompts::Icon::Information);
        return;
    }
    const QString previous = currentGridIndex();
    closeGrid();
    WaitCursor wait;
    bool created = false;
    std::vector<IndexCopy> replaced;
    try {
        engine::TableDef& td = table();
        // An index of the same name, in any letter case, is replaced without asking.
        for (const auto& ix : td.Indexes())
            if (QString::fromStdString(ix->Name()).compare(name, Qt::CaseInsensitive) == 0) replaced.push_back(copyOf(*ix));
        for (const IndexCopy& old : replaced) td.Indexes().Delete(old.name);
        IndexCopy fresh{name.toStdString(), {}, chkPrimary->isChecked(), chkUnique->isChecked(), chkIgnoreNulls->isChecked()};
        for (int i = 0; i < lstIndexfield->count(); ++i) {
            const QString entry = lstIndexfield->item(i)->text();
            fresh.fields.emplace_back(GetFieldName(entry).toStdString(), GetOrder(entry) == "ASC" ? 0 : engine::dbDescending);
        }
        append(td, fresh);
        created = true;
    } catch (const Error& e) {
        // The index it was to replace is put back: a refused index loses nothing.
        for (const IndexCopy& old : replaced) {
            try {
                if (!table().Indexes().Find(old.name)) append(table(), old);
            } catch (const Error&) {
            }
        }
        showError(e);
    }
    try {
        LoadIndexes();
        if (created) selectIndexEntry(name);
        // The grid comes back in any case, ordered by the new index or as it was.
        reopenGrid();
        if (created) setGridIndex(name);
        else if (!previous.isEmpty() && table().Indexes().Find(previous.toStdString())) setGridIndex(previous);
        CheckforSetIndex();
        if (created) ClearBoxes();
    } catch (const Error& e) {
        showError(e);
    }
}

void frmIndexes::cmdDelete_Click() {
    if (!requireSelectedIndex()) return;
    const QString previous = currentGridIndex();
    const QString name = selectedIndexName();
    closeGrid();
    WaitCursor wait;
    try {
        table().Indexes().Delete(name.toStdString());
        table().Indexes().Refresh();
    } catch (const Error& e) {
        showError(e);
    }
    try {
        LoadIndexes();
        lstDescrption->clear();
        for (QCheckBox* c : {chkIsPrimary, chkIsUnique, chkIsIgnoreNulls}) c->setChecked(false);
        cmdSet->setText("Set");
        reopenGrid();
        // The grid keeps its order unless that index is the one deleted.
        if (!previous.trimmed().isEmpty() && table().Indexes().Find(previous.toStdString())) setGridIndex(previous);
        CheckforSetIndex();
    } catch (const Error& e) {
        showError(e);
    }
}

void frmIndexes::cmdModify_Click() {
    if (!requireSelectedIndex()) return;
    try {
        const engine::Index& ix = table().Indexes()[selectedIndexName().toStdString()];
        txtIDXName->setText(QString::fromStdString(ix.Name()));
        nameBuilt_ = false;  // Add replaces the index of this name
        chkPrimary->setChecked(ix.Primary());
        chkUnique->setChecked(ix.Unique());
        chkIgnoreNulls->setChecked(ix.IgnoreNulls());
        lstFields->clear();
        lstIndexfield->clear();
        LoadFields();
        for (const auto& f : ix.Fields()) {
            const QString field = QString::fromStdString(f->Name());
            lstIndexfield->addItem(field + kBlank + order(f->Attributes()));
            for (QListWidgetItem* item : lstFields->findItems(field, Qt::MatchFixedString)) delete item;
        }
    } catch (const Error& e) {
        showError(e);
    }
}

void frmIndexes::cmdSet_Click() {
    if (!requireSelectedIndex()) return;
    const int position = lstIndexes->currentRow();
    const QString name = selectedIndexName();
    const bool set = cmdSet->text() == "Set";
    try {
        LoadIndexes();
        lstIndexes->setCurrentRow(position);
        setGridIndex(set ? name : QString());
        if (set) lstIndexes->item(position)->setText(kMark + name);
        cmdSet->setText(set ? "No Order" : "Set");
    } catch (const Error& e) {
        showError(e);
    }
}

void frmIndexes::cmdClose_Click() {
    if (dbase) dbase->Close();
    dbase.reset();
    done(QDialog::Accepted);
}
