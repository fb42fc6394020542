#include "queries/frmMakeQuery.h"

#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "records/clausebuilder.h"
#include "queries/querywidgets.h"
#include "engine/sql/sql.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

namespace {

// A table as the statement writes it: bracketed when its name holds a blank.
QString tableReference(const QString& name) { return name.contains(' ') ? "[" + name + "]" : name; }

QString afterFirstDot(const QString& item) { return item.mid(item.indexOf('.') + 1); }

}  // namespace

frmMakeQuery::frmMakeQuery(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmMakeQuery");
    setWindowTitle("Query Builder");
    cmdChooseDatabase = new QPushButton("Choose Database", this);
    cmdChooseDatabase->setObjectName("cmdChooseDatabase");
    lstTables = new QListWidget(this);
    lstTables->setObjectName("lstTables");
    lstTables->setSelectionMode(QAbstractItemView::MultiSelection);
    lstTables->installEventFilter(this);

    auto* frame = new QGroupBox("Table Names", this);
    frame->setObjectName("FrameTableNames");
    auto* frameLayout = new QVBoxLayout(frame);
    OptionTableNames[0] = new QRadioButton("Include table names for common fields only", frame);
    OptionTableNames[1] = new QRadioButton("Always include table names", frame);
    for (int i : {0, 1}) {
        OptionTableNames[static_cast<size_t>(i)]->setObjectName(QString("OptionTableNames%1").arg(i));
        frameLayout->addWidget(OptionTableNames[static_cast<size_t>(i)]);
    }

    builder = new ClauseBuilder(this, ClauseBuilder::Set::Select);
    builder->ComboFields->setObjectName("comboFields");
    builder->target = [this] { return txtSelect; };
    builder->fieldText = [this](const QString& item) { return fieldPick(item); };
    txtSelect = QueryWidgets::StatementBox(this);
    auto* lblQueryName = new QLabel("Query Name", this);
    txtQueryName = new QLineEdit(this);
    txtQueryName->setObjectName("txtQueryName");
    lblQueryName->setBuddy(txtQueryName);
    cmdTest = QueryWidgets::TestButton(this);
    cmdSave = QueryWidgets::SaveButton(this);
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");

    auto* left = new QVBoxLayout;
    left->addWidget(lstTables, 1);
    left->addWidget(cmdChooseDatabase);
    left->addWidget(frame);
    auto* combos = new QHBoxLayout;
    for (QComboBox* c : builder->Combos()) combos->addWidget(c);
    auto* name = new QHBoxLayout;
    name->addWidget(lblQueryName);
    name->addWidget(txtQueryName, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdTest, cmdSave, cmdClose}) buttons->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addLayout(combos);
    right->addWidget(txtSelect, 1);
    right->addLayout(name);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);

    connect(cmdChooseDatabase, &QPushButton::clicked, this, &frmMakeQuery::cmdChooseDatabase_Click);
    connect(lstTables, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { lstTables_Click(lstTables->row(item)); });
    connect(txtSelect, &QPlainTextEdit::textChanged, this, &frmMakeQuery::txtSelect_Change);
    connect(cmdTest, &QPushButton::clicked, this, &frmMakeQuery::cmdTest_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmMakeQuery::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMakeQuery::cmdClose_Click);
    Form_Load();
}

frmMakeQuery::~frmMakeQuery() {
    try {
        if (rsTest) rsTest->Close();
        if (database) database->Close();
    } catch (const engine::Error&) {
        // Already gone.
    }
}

void frmMakeQuery::Form_Load() {
    database.reset();
    rsTest.reset();
    OptionTableNames[0]->setChecked(true);
    cmdTest->setEnabled(false);
}

void frmMakeQuery::cmdChooseDatabase_Click() {
    RecordDialogs::Trapped([this] {
        const QString path =
            Prompts::openDatabase().value_or(QString());
        if (path.trimmed().isEmpty()) return;
        database = engine::DBEngine::OpenDatabase(path.toStdString());
        lstTables->clear();
        setWindowTitle("Query Builder  " + path);
        for (const auto& td : database->TableDefs()) {
            const QString name = QString::fromStdString(td->Name());
            if (!name.startsWith("MSys") && !name.startsWith("USys")) lstTables->addItem(name);
        }
    });
}

void frmMakeQuery::lstTables_Click(int row) {
    QListWidgetItem* item = lstTables->item(row);
    if (item && item->isSelected()) builder->WriteText(tableReference(item->text()));
}

bool frmMakeQuery::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstTables && event->type() == QEvent::FocusOut) lstTables_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmMakeQuery::lstTables_LostFocus() {
    if (!database) return;
    QComboBox* fields = builder->ComboFields;
    fields->clear();
    QStringList items;
    RecordDialogs::Trapped([&] {
        for (int i = 0; i < lstTables->count(); ++i) {
            if (!lstTables->item(i)->isSelected()) continue;
            const QString table = lstTables->item(i)->text();
            for (const auto& f : database->TableDefs()[table.toStdString()].Fields())
                items << tableReference(table) + "." + QString::fromStdString(f->Name());
        }
    });
    builder->LoadFields(items);
}

QString frmMakeQuery::fieldPick(const QString& item) const {
    if (OptionTableNames[1]->isChecked()) return item;
    const QString field = afterFirstDot(item);
    int count = 0;
    for (int i = 0; i < builder->ComboFields->count(); ++i)
        if (afterFirstDot(builder->ComboFields->itemText(i)) == field) ++count;
    return count > 1 ? item : field;
}

void frmMakeQuery::txtSelect_Change() {
    cmdTest->setEnabled(txtSelect->toPlainText().trimmed().left(6).toUpper() == "SELECT");
}

void frmMakeQuery::cmdTest_Click() {
    if (!database) return;
    rsTest.reset();
    if (RecordDialogs::Trapped([this] {
            RecordDialogs::BusyPointer busy;
            rsTest = database->OpenRecordset(txtSelect->toPlainText().trimmed().toStdString());
        }))
        Prompts::message("Successful.", Prompts::kAppTitle, Prompts::Icon::Information);
}

void frmMakeQuery::cmdSave_Click() {
    const std::string name = txtQueryName->text().trimmed().toStdString();
    if (name.empty()) {
        Prompts::message("Please enter a name first.", "Error", Prompts::Icon::Exclamation);
        return;
    }
    if (!database) return;
    // Only a name written exactly so is asked about; it takes the new text
    // only once the engine accepts it.
    engine::QueryDef* existing = nullptr;
    for (const auto& q : database->QueryDefs())
        if (q->Name() == name) existing = q.get();
    if (existing && Prompts::message("A Query of that name already exists. Do you want to overwrite it?", "Warning",
                                     Prompts::Icon::None, Prompts::Buttons::YesNo) != Prompts::Answer::Yes)
        return;
    const std::string text = txtSelect->toPlainText().trimmed().toStdString();
    const bool passThrough = existing && existing->Type() == static_cast<int>(engine::sql::StatementKind::PassThrough);
    if (RecordDialogs::Trapped([&] {
            if (!existing) return void(database->CreateQueryDef(name, text));
            if (passThrough) engine::sql::parse(text);  // checked first: the query becomes one of ours
            existing->SetSQL(text);
            if (passThrough) existing->SetConnect("");
        }))
        Prompts::message("Query successfully saved.", "Query Builder", Prompts::Icon::Information);
}

void frmMakeQuery::cmdClose_Click() { close(); }
