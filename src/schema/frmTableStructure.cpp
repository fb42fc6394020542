#include "schema/frmTableStructure.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "grids/datacontrol.h"
#include "grids/recordsetmodel.h"
#include "records/recorddialogs.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "transfer/moduleCreateTable.h"

namespace {

constexpr const char* kListing = "TempTableStructure";
constexpr const char* kCreateListing =
    "CREATE TABLE TempTableStructure ([Field Name] Text (30), [Data Type] Text (12), Size Integer, Required YesNo, "
    "[Allow Zero Length] Text (3)) ";

// Links of every kind, by their whole attribute value.
bool isLink(long attributes) {
    return attributes == 1073741824 || attributes == 536870912 || attributes == 65536 || attributes == 131072;
}

// The Required column reads Yes or No, as a Yes/No format shows it.
class YesNoColumn : public QIdentityProxyModel {
public:
    YesNoColumn(int column, QObject* parent) : QIdentityProxyModel(parent), column_(column) {}
    QVariant data(const QModelIndex& index, int role) const override {
        const QVariant v = QIdentityProxyModel::data(index, role);
        if (index.column() != column_ || role != Qt::DisplayRole || v.toString().isEmpty()) return v;
        return v.toString() == "True" || v.toString() == "-1" ? "Yes" : "No";
    }

private:
    int column_;
};

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

frmTableStructure::frmTableStructure(QWidget* owner) : QDialog(owner) {
    setObjectName("frmTableStructure");
    setWindowTitle("Table Structure");

    auto* tables = new QGroupBox("Tables", this);
    lstTables = new QListWidget(tables);
    lstTables->setObjectName("lstTables");
    cmdChooseDatabase = new QPushButton("Choose Database", tables);
    cmdChooseDatabase->setObjectName("cmdChooseDatabase");
    auto* tablesLayout = new QVBoxLayout(tables);
    tablesLayout->addWidget(lstTables, 1);
    tablesLayout->addWidget(cmdChooseDatabase);

    auto* fields = new QGroupBox("Fields", this);
    Data1 = new DataControl(this);
    Data1->setObjectName("Data1");
    DBGrid1 = new QTableView(fields);
    DBGrid1->setObjectName("DBGrid1");
    model_ = new RecordsetModel(this);
    auto* shown = new YesNoColumn(3, this);
    shown->setSourceModel(model_);
    DBGrid1->setModel(shown);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    cmdDelete = new QPushButton("Delete", fields);
    cmdDelete->setObjectName("cmdDelete");
    cmdCancel = new QPushButton("Close", fields);
    cmdCancel->setObjectName("cmdCancel");
    auto* fieldButtons = new QHBoxLayout;
    fieldButtons->addStretch(1);
    fieldButtons->addWidget(cmdDelete);
    fieldButtons->addWidget(cmdCancel);
    auto* fieldsLayout = new QVBoxLayout(fields);
    fieldsLayout->addWidget(DBGrid1, 1);
    fieldsLayout->addLayout(fieldButtons);

    auto* add = new QGroupBox("Add New Field", this);
    txtFieldName = new QLineEdit(add);
    txtFieldName->setObjectName("txtFieldName");
    ComboFieldTypes = new QComboBox(add);
    ComboFieldTypes->setObjectName("ComboFieldTypes");
    txtSize = new QLineEdit(add);
    txtSize->setObjectName("txtSize");
    ComboRequired = new QComboBox(add);
    ComboRequired->setObjectName("ComboRequired");
    ComboAllowZeroLength = new QComboBox(add);
    ComboAllowZeroLength->setObjectName("ComboAllowZeroLength");
    cmdAdd = new QPushButton("Add", add);
    cmdAdd->setObjectName("cmdAdd");
    auto* addLayout = new QGridLayout(add);
    const std::pair<const char*, QWidget*> rows[] = {{"Field Name", txtFieldName},
                                                     {"Field Types", ComboFieldTypes},
                                                     {"Size", txtSize},
                                                     {"Required", ComboRequired},
                                                     {"Allow Zero Length", ComboAllowZeroLength}};
    int r = 0;
    for (const auto& [caption, widget] : rows) {
        addLayout->addWidget(labelFor(caption, widget, add), 0, r);
        addLayout->addWidget(widget, 1, r++);
    }
    addLayout->addWidget(cmdAdd, 1, r);
    for (QPushButton* b : {cmdChooseDatabase, cmdDelete, cmdCancel, cmdAdd}) b->setAutoDefault(false);

    auto* upper = new QHBoxLayout;
    upper->addWidget(tables, 1);
    upper->addWidget(fields, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper, 1);
    layout->addWidget(add);

    connect(Data1, &DataControl::rebound, this, [this] { model_->setRecordset(Data1->Recordset()); });
    connect(Data1, &DataControl::refreshed, this, [this] { model_->reload(); });
    connect(cmdChooseDatabase, &QPushButton::clicked, this, &frmTableStructure::cmdChooseDatabase_Click);
    connect(lstTables, &QListWidget::itemClicked, this, &frmTableStructure::lstTables_Click);
    connect(ComboFieldTypes, &QComboBox::activated, this, &frmTableStructure::ComboFieldTypes_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmTableStructure::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmTableStructure::cmdDelete_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTableStructure::cmdCancel_Click);
    Form_Load();
}

frmTableStructure::~frmTableStructure() {
    Data1->SetRecordset(nullptr);
    try {
        if (listing_) listing_->Close();
        if (database_) database_->Close();
        if (scratch_) scratch_->Close();
    } catch (const engine::Error&) {
        // Closing what is already gone.
    }
}

void frmTableStructure::Form_Load() {
    RecordDialogs::Place(this, 300, 600, 9600, 6000);
    LoadLists();
    cmdAdd->setEnabled(false);
}

void frmTableStructure::LoadLists() {
    ComboFieldTypes->clear();
    ComboFieldTypes->addItems({"Boolean", "Integer", "Long", "Currency", "Single", "Double", "Date", "Text", "Memo"});
    ComboRequired->clear();
    ComboRequired->addItems({"Yes", "No"});
    ComboAllowZeroLength->clear();
    ComboAllowZeroLength->addItems({"Yes", "No"});
    for (QComboBox* c : {ComboFieldTypes, ComboRequired, ComboAllowZeroLength}) c->setCurrentIndex(-1);
}

int frmTableStructure::GetTypeNumber(const QString& type) const { return moduleCreateTable::StructureTypeCode(type); }

QString frmTableStructure::FileOpen() {
    return Prompts::openDatabase().value_or(QString());
}

void frmTableStructure::cmdChooseDatabase_Click() {
    RecordDialogs::Trapped([this] {
        if (database_) {
            database_->Close();
            database_.reset();
        }
        cmdAdd->setEnabled(false);
        const QString path = FileOpen();
        if (!path.trimmed().isEmpty()) {
            database_ = engine::DBEngine::OpenDatabase(path.toStdString());
            lstTables->clear();
            for (const auto& td : database_->TableDefs()) {
                const QString name = QString::fromStdString(td->Name());
                if (isLink(td->Attributes()) || name.startsWith("MSys") || name.startsWith("USys")) continue;
                lstTables->addItem(name);
            }
        }
        // The listing of another database's table goes.
        if (listing_ && Data1->Recordset()) {
            scratch_->Execute("Delete from TempTableStructure");
            Data1->SetRecordset(nullptr);
        }
    });
}

void frmTableStructure::MakeTempTable() {
    if (!scratch_) scratch_ = RecordDialogs::OpenScratch();
    scratch_->TableDefs().Refresh();
    bool present = false;
    for (const auto& td : scratch_->TableDefs())
        if (td->Name() == kListing) present = true;
    if (!present) scratch_->Execute(kCreateListing);
    listing_ = scratch_->OpenRecordset(kListing);
}

void frmTableStructure::lstTables_Click() {
    if (!database_ || !lstTables->currentItem()) return;
    RecordDialogs::Trapped([this] {
        RecordDialogs::BusyPointer busy;
        MakeTempTable();
        database_->TableDefs().Refresh();
        DoUpdate();
        cmdAdd->setEnabled(true);
    });
}

void frmTableStructure::DoUpdate() {
    scratch_->Execute("Delete from TempTableStructure");
    const std::string table = lstTables->currentItem()->text().toStdString();
    RecordDialogs::RunTransaction run(*scratch_);
    for (const auto& f : database_->TableDefs()[table].Fields()) {
        listing_->AddNew();
        listing_->Fields("Field Name").SetValue(f->Name());
        const QString word = moduleCreateTable::StructureTypeWord(f->Type());
        listing_->Fields("Data Type").SetValue(word.toStdString());
        if (word == "Text") {
            listing_->Fields("Size").SetValue(f->Size());
            listing_->Fields("Allow Zero Length").SetValue(f->AllowZeroLength() ? "Yes" : "No");
        }
        listing_->Fields("Required").SetValue(engine::Variant::boolean(f->Required()));
        listing_->Update();
    }
    // The grid reads the rows again.
    Data1->SetRecordset(scratch_->OpenRecordset(kListing));
}

void frmTableStructure::ComboFieldTypes_Click() {
    const bool text = ComboFieldTypes->currentText() == "Text";
    txtSize->setEnabled(text);
    ComboAllowZeroLength->setEnabled(text);
}

void frmTableStructure::cmdAdd_Click() {
    if (txtFieldName->text().trimmed().isEmpty()) return RecordDialogs::Refuse("Please enter a field name.");
    if (ComboFieldTypes->currentText().isEmpty()) return RecordDialogs::Refuse("Please enter a field type.");
    if (ComboRequired->currentText().isEmpty()) ComboRequired->setCurrentIndex(ComboRequired->findText("No"));
    if (ComboAllowZeroLength->currentText().isEmpty())
        ComboAllowZeroLength->setCurrentIndex(ComboAllowZeroLength->findText("Yes"));
    if (!database_ || !lstTables->currentItem()) return;
    RecordDialogs::Trapped([this] {
        engine::TableDef& td = database_->TableDefs()[lstTables->currentItem()->text().toStdString()];
        const std::string name = txtFieldName->text().trimmed().toStdString();
        std::shared_ptr<engine::Field> field;
        if (ComboFieldTypes->currentText() != "Text") {
            field = td.CreateField(name, GetTypeNumber(ComboFieldTypes->currentText()));
        } else {
            bool ok = false;
            const int size = txtSize->text().trimmed().toInt(&ok);
            if (!ok) throw engine::Error(13, "Type mismatch: the size of a Text field is a whole number from 1 to 255.");
            field = td.CreateField(name, engine::dbText, size);
            field->SetAllowZeroLength(ComboAllowZeroLength->currentText() == "Yes");
        }
        field->SetRequired(ComboRequired->currentText() == "Yes");
        td.Fields().Append(field);
        DoUpdate();
        txtFieldName->clear();
        txtSize->clear();
        for (QComboBox* c : {ComboFieldTypes, ComboRequired, ComboAllowZeroLength}) c->setCurrentIndex(-1);
    });
}

void frmTableStructure::cmdDelete_Click() {
    if (!database_ || !lstTables->currentItem()) return;
    const auto rows = Data1->Recordset();
    if (!rows || rows->RecordCount() == 0) return;
    RecordDialogs::Trapped([this, rows] {
        const QModelIndex at = DBGrid1->currentIndex();
        if (at.isValid()) rows->SetAbsolutePosition(at.row());
        const std::string name = rows->Fields("Field Name").Value().toText();
        database_->TableDefs()[lstTables->currentItem()->text().toStdString()].Fields().Delete(name);
        DoUpdate();
    });
}

void frmTableStructure::cmdCancel_Click() { close(); }
