#include "transfer/frmImportTo2000.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include <optional>

#include "records/recorddialogs.h"
#include "shell/prompts.h"
#include "transfer/moduleCreateTable.h"

namespace {

// Code pages offered for tables whose header names none: shown name, iconv name.
const std::pair<const char*, const char*> kEncodings[] = {
    {"Windows-1252 (from the file)", ""},
    {"Big5 (Traditional Chinese)", "BIG5"},
    {"GBK (Simplified Chinese)", "GBK"},
    {"Shift-JIS (Japanese)", "CP932"},
    {"EUC-KR (Korean)", "CP949"},
    {"CP437 (DOS, United States)", "CP437"},
    {"CP850 (DOS, Western Europe)", "CP850"},
    {"CP852 (DOS, Central Europe)", "CP852"},
    {"CP866 (DOS, Cyrillic)", "CP866"},
    {"Windows-1250 (Central Europe)", "CP1250"},
    {"Windows-1251 (Cyrillic)", "CP1251"},
    {"ISO-8859-1 (Latin-1)", "ISO-8859-1"},
    {"UTF-8", "UTF-8"},
};

QPointer<frmImportTo2000> gOpen;

}  // namespace

frmImportTo2000::frmImportTo2000(QWidget* owner) : QDialog(owner) {
    setObjectName("frmImportTo2000");
    setWindowTitle("Import DBF into Access 2000 Database");
    setAttribute(Qt::WA_DeleteOnClose);

    cmdDatabase = new QPushButton("Database", this);
    cmdDatabase->setObjectName("cmdDatabase");
    cmdTable = new QPushButton("Table", this);
    cmdTable->setObjectName("cmdTable");
    lblName = new QLabel("Database Table Name", this);
    lblName->setObjectName("lblName");
    txtName = new QLineEdit(this);
    txtName->setObjectName("txtName");
    lblName->setBuddy(txtName);
    lblEncoding = new QLabel("Code page of tables that name none", this);
    lblEncoding->setObjectName("lblEncoding");
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName("cboEncoding");
    for (const auto& [shown, name] : kEncodings) cboEncoding->addItem(shown, QString::fromLatin1(name));
    lblEncoding->setBuddy(cboEncoding);
    cmdImport = new QPushButton("Import", this);
    cmdImport->setObjectName("cmdImport");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdDatabase, cmdTable, cmdImport, cmdCancel}) b->setAutoDefault(false);

    auto* files = new QHBoxLayout;
    files->addWidget(cmdDatabase);
    files->addWidget(cmdTable);
    files->addStretch(1);
    auto* fields = new QGridLayout;
    fields->addWidget(lblName, 0, 0);
    fields->addWidget(txtName, 0, 1);
    fields->addWidget(lblEncoding, 1, 0);
    fields->addWidget(cboEncoding, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(cmdDatabase, &QPushButton::clicked, this, &frmImportTo2000::cmdDatabase_Click);
    connect(cmdTable, &QPushButton::clicked, this, &frmImportTo2000::cmdTable_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImportTo2000::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmImportTo2000::cmdCancel_Click);
    Form_Load();
}

frmImportTo2000::~frmImportTo2000() { CloseAll(); }

frmImportTo2000* frmImportTo2000::ShowDialog(QWidget* owner) {
    if (!gOpen) gOpen = new frmImportTo2000(owner);
    gOpen->show();
    gOpen->raise();
    gOpen->activateWindow();
    return gOpen;
}

void frmImportTo2000::Form_Load() {
    RecordDialogs::Place(this, 1500, 1500, 6000, 2800);
    mstrDatabasePath.clear();
    mstrDBFPath.clear();
    cboEncoding->setCurrentIndex(0);
}

std::optional<QString> frmImportTo2000::FileOpen(const QString& PassedFileType) {
    const bool database = PassedFileType == "TypeMDB";
    const std::optional<QString> chosen =
        Prompts::openFile(database ? "Database" : "Table",
                          database ? "Databases  (*.mdb);;All Files (*)" : "Tables (*.dbf *.DBF);;All Files (*)",
                          lastFile_);
    if (chosen) lastFile_ = *chosen;
    return chosen;
}

// A cancelled choice leaves the path that button chose before.
void frmImportTo2000::cmdDatabase_Click() {
    if (auto path = FileOpen("TypeMDB")) mstrDatabasePath = *path;
}

void frmImportTo2000::cmdTable_Click() {
    if (auto path = FileOpen("TypeDBF")) mstrDBFPath = *path;
}

void frmImportTo2000::cmdCancel_Click() { close(); }

void frmImportTo2000::CloseAll() {
    if (rsDBF) rsDBF->Close();
    if (rsDB) rsDB->Close();
    if (dbAccess) dbAccess->Close();
    if (conCfg) conCfg->Close();
    if (wrkODBC) wrkODBC->Close();
    rsDBF.reset();
    rsDB.reset();
    dbAccess.reset();
    conCfg.reset();
    wrkODBC.reset();
}

void frmImportTo2000::cmdImport_Click() {
    if (mstrDatabasePath.isEmpty()) {
        Prompts::message("Please enter a Database.");
        return;
    }
    if (mstrDBFPath.isEmpty()) {
        Prompts::message("Please enter a FoxPro Table.");
        return;
    }
    if (txtName->text().isEmpty()) {
        Prompts::message("Please enter a name for the imported table.");
        return;
    }
    // What an earlier try left open (a refused overwrite, an error) goes first:
    // it would hold the target open and read the old table.
    CloseAll();
    {
        std::optional<RecordDialogs::BusyPointer> busy;
        try {
            dbAccess = engine::DBEngine::OpenDatabase(mstrDatabasePath.toStdString(), true);
            std::vector<std::string> same;
            for (const auto& t : dbAccess->TableDefs())
                if (QString::fromStdString(t->Name()) == txtName->text()) same.push_back(t->Name());
            for (const std::string& name : same) {
                if (Prompts::message("A table of that name already exists, overwrite it?", "Warning",
                                     Prompts::Icon::None, Prompts::Buttons::OKCancel) == Prompts::Answer::Cancel)
                    return;
                dbAccess->TableDefs().Refresh();
                dbAccess->Execute("Drop Table [" + name + "]");
            }
            busy.emplace();
            SetuprsDBF(mstrDBFPath);
            const QString tableName = txtName->text().trimmed();
            MakeCommand(tableName);
            dbAccess->Execute(CreateStatement.toStdString());
            rsDB = dbAccess->OpenRecordset(tableName.toStdString());
        } catch (const engine::Error& e) {
            busy.reset();
            Prompts::message(QString::fromStdString(e.description()));
            return;
        }
        CopyRecords();
        CloseAll();
    }
    close();
}

void frmImportTo2000::SetuprsDBF(const QString& path) {
    const int p = std::max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    DBFPath = path.left(std::max(p, 0));
    curfile = path.mid(p + 1);
    wrkODBC = engine::DBEngine::CreateWorkspace("", "", "", engine::dbUseODBC);
    QString connect = "ODBC;DSN=Visual FoxPro Tables;SourceDB=" + DBFPath + ";SourceType=DBF";
    const QString encoding = cboEncoding->currentData().toString();
    if (!encoding.isEmpty()) connect += ";Encoding=" + encoding;
    conCfg = wrkODBC->OpenConnection("", 1, false, connect.toStdString());
    rsDBF = conCfg->OpenRecordset(("Select * from " + curfile).toStdString(), engine::dbOpenDynaset);
}

// " CREATE TABLE name ([col] word, ...)". Columns are bracketed (a table's
// fields may be called Order or Date); a name the table already has gets a
// number, so every field comes in. Char and Text carry their size, and one
// longer than a Text field can hold becomes Memo. Numeric and Decimal carry
// their digits when the bare word (18 digits, none after the point) would
// round the values.
void frmImportTo2000::MakeCommand(const QString& tableName) {
    QString sql = " CREATE TABLE " + tableName + " (";
    columns_.clear();
    QSet<QString> taken;
    for (const auto& f : rsDBF->Fields()) {
        const QString word = moduleCreateTable::FieldType(f->Type(), moduleCreateTable::TypeSet::Import);
        const QString name = QString::fromStdString(f->Name());
        QString column = name;
        for (int n = 2; taken.contains(column.toLower()); ++n) column = name + QString::number(n);
        taken.insert(column.toLower());
        columns_ << column;
        sql += "[" + column + "] ";
        if (word == "Char" || word == "Text") {
            if (f->Size() >= 1 && f->Size() <= engine::kDefaultTextSize) sql += word + " (" + QString::number(f->Size()) + "), ";
            else sql += "Memo, ";
        } else if ((word == "Numeric" || word == "Decimal") &&
                   (f->Scale() > 0 || f->Precision() > engine::kDefaultDecimalPrecision)) {
            sql += word + " (" + QString::number(f->Precision()) + ", " + QString::number(f->Scale()) + "), ";
        } else {
            sql += word + ", ";
        }
    }
    sql.chop(2);
    CreateStatement = sql + ")";
}

// Row by row in one transaction: what was copied before an error stays.
void frmImportTo2000::CopyRecords() {
    long counter = 0;
    const QString target = txtName->text();
    auto status = [&] { return "  " + QString::number(counter) + "  Records copied to " + target; };
    RecordDialogs::Progress progress(rsDBF->RecordCount());
    bool inTransaction = false;
    try {
        rsDBF->MoveFirst();
        // Each source field and the column it goes to, looked up once.
        std::vector<std::pair<engine::OdbcField*, engine::Field*>> pairs;
        for (int i = 0; i < rsDBF->Fields().Count(); ++i)
            pairs.emplace_back(&rsDBF->Fields(i), &rsDB->Fields(columns_[i].toStdString()));
        dbAccess->BeginTrans();
        inTransaction = true;
        while (!rsDBF->EOF_()) {
            rsDB->AddNew();
            for (const auto& [from, to] : pairs) to->SetValue(from->Value());
            rsDB->Update();
            ++counter;
            if (counter % 200 == 0) progress.Report(counter, status());
            rsDBF->MoveNext();
        }
    } catch (const engine::Error& e) {
        if (rsDB->EditMode() != engine::dbEditNone) rsDB->CancelUpdate();
        Prompts::message(QString::fromStdString(e.description()));
    }
    if (inTransaction) {
        try {
            dbAccess->CommitTrans();
        } catch (const engine::Error& e) {
            counter = 0;  // a failed commit keeps none of them
            Prompts::message(QString::fromStdString(e.description()));
        }
    }
    RecordDialogs::Status(status());
}
