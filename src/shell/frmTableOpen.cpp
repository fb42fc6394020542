#include "shell/frmTableOpen.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "shell/savecopy.h"
#include "shell/twips.h"

using engine::Error;

namespace {

QString describe(const Error& e) { return QString::fromStdString(e.description()); }

// The busy pointer for the life of a handler step.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { release(); }
    void release() {
        if (active) QApplication::restoreOverrideCursor();
        active = false;
    }
    bool active = true;
};

}  // namespace

frmTableOpen::Members& frmTableOpen::State() {
    static Members members;
    return members;
}

frmTableOpen::frmTableOpen(QWidget* parent) : QDialog(parent) {
    setObjectName("frmTableOpen");
    setWindowTitle("Open a Recordset");
    frameSource = new QGroupBox("Data Source", this);
    frameSource->setObjectName("frameSource");
    optSource[1] = new QRadioButton("Tables", frameSource);
    optSource[1]->setObjectName("optSource1");
    optSource[2] = new QRadioButton("Queries", frameSource);
    optSource[2]->setObjectName("optSource2");
    auto* sourceLayout = new QHBoxLayout(frameSource);
    sourceLayout->addWidget(optSource[1]);
    sourceLayout->addWidget(optSource[2]);
    QryList = new QListWidget(this);
    QryList->setObjectName("QryList");
    txtSQL = new QPlainTextEdit(this);
    txtSQL->setObjectName("txtSQL");
    cmdOpenDbase = new QPushButton("Open Database", this);
    cmdOpenDbase->setObjectName("cmdOpenDbase");
    cmdOpenRecordset = new QPushButton("Open Table/Query", this);
    cmdOpenRecordset->setObjectName("cmdOpenRecordset");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    cmdSaveCopy = new QPushButton("Save a Copy in Ledgerly Format...", this);
    cmdSaveCopy->setObjectName("cmdSaveCopy");
    cmdSaveCopy->hide();
    for (QPushButton* b : {cmdOpenDbase, cmdOpenRecordset, cmdClose, cmdSaveCopy}) b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameSource);
    layout->addWidget(new QLabel("Tables\\Queries", this));
    layout->addWidget(QryList, 2);
    layout->addWidget(new QLabel("Selected Query Definition", this));
    layout->addWidget(txtSQL, 1);
    layout->addWidget(cmdSaveCopy, 0, Qt::AlignLeft);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpenDbase);
    buttons->addWidget(cmdOpenRecordset);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);

    // The options act when the user chooses one (mouse, Space, arrow keys), not
    // whenever the focus lands on them: activation, the focus coming back from
    // a message box and closing the dialog all move the focus too.
    for (int i : {1, 2})
        connect(optSource[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] { optSource_GotFocus(i); });
    setTabOrder(cmdOpenDbase, optSource[1]);
    setTabOrder(optSource[1], optSource[2]);
    setTabOrder(optSource[2], QryList);
    setTabOrder(QryList, txtSQL);
    setTabOrder(txtSQL, cmdOpenRecordset);
    setTabOrder(cmdOpenRecordset, cmdClose);
    connect(cmdOpenDbase, &QPushButton::clicked, this, &frmTableOpen::cmdOpenDbase_Click);
    connect(cmdOpenRecordset, &QPushButton::clicked, this, &frmTableOpen::cmdOpenRecordset_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmTableOpen::cmdClose_Click);
    connect(cmdSaveCopy, &QPushButton::clicked, this, &frmTableOpen::cmdSaveCopy_Click);
    connect(QryList, &QListWidget::currentRowChanged, this, [this](int) { QryList_Click(); });
    connect(QryList, &QListWidget::itemDoubleClicked, this, [this] { cmdOpenRecordset_Click(); });
    Form_Load();
}

void frmTableOpen::Form_Load() {
    setGeometry(Twips::toPixelsX(500), Twips::toPixelsY(1500), Twips::toPixelsX(6660), Twips::toPixelsY(6285));
    isopen = false;
    cmdOpenDbase->setFocus();  // the first thing to do is to choose a file
}

bool frmTableOpen::DatabaseOpen() {
    const Members& m = State();
    return m.database && m.database->IsOpen();
}

bool frmTableOpen::ReopenDatabase() {
    Members& m = State();
    try {
        m.database = engine::DBEngine::OpenDatabase(m.DBPath.toString().toStdString());
        return true;
    } catch (const Error& e) {
        if (e.number() == engine::err::BadPassword) return UsePassword() == QVariant(true);
        Prompts::message(describe(e));
        return false;
    }
}

QString frmTableOpen::SamplesFolder() {
    QString env = qEnvironmentVariable("LEDGERLY_SAMPLES");
    if (!env.isEmpty()) return env;
    QString base = frmMain::ProgramFolder();
    for (const QString& candidate : {base + "/samples", base + "/../../samples", base + "/../samples"})
        if (QFileInfo(candidate).isDir()) return QDir(candidate).absolutePath();
    return base;
}

QString frmTableOpen::FileOpen() {
    Members& m = State();
    QString initial = m.LastDatabase.isEmpty() ? SamplesFolder() : m.LastDatabase;
    std::optional<QString> chosen =
        Prompts::openFile("Open Database", Prompts::kDatabaseFilter, initial);
    // Cancelling keeps the previous choice, as the dialog's file name stays.
    if (!chosen) return m.LastDatabase;
    return *chosen;
}

void frmTableOpen::cmdOpenDbase_Click() {
    Members& m = State();
    for (int i : {1, 2}) {
        optSource[static_cast<size_t>(i)]->setAutoExclusive(false);
        optSource[static_cast<size_t>(i)]->setChecked(false);
        optSource[static_cast<size_t>(i)]->setAutoExclusive(true);
    }
    QString path = FileOpen();
    m.DBPath = path;
    if (path.isEmpty()) return;
    try {
        m.database = engine::DBEngine::OpenDatabase(path.toStdString());
    } catch (const Error& e) {
        if (e.number() == engine::err::BadPassword) {
            if (UsePassword() != QVariant(true)) return;  // the prompt said why
        } else if (e.number() == engine::err::NotPermitted) {
            Prompts::message(describe(e) + "  Error number " + QString::number(e.number()) +
                             ".  Try opening a local drive table first to set permissions and retry to open this database.");
            return;
        } else {
            Prompts::message(describe(e) + "   " + QString::number(e.number()));
            return;
        }
    }
    continueOpen(path);
}

void frmTableOpen::continueOpen(const QString& path) {
    State().LastDatabase = path;
    cmdSaveCopy->setVisible(DatabaseOpen() && State().database->converted());
    setWindowTitle("Open a Recorset  " + path);
    QryList->clear();
    optSource[1]->setChecked(true);
    optSource_GotFocus(1);
}

void frmTableOpen::cmdSaveCopy_Click() { SaveCopy::Run(State().DBPath.toString()); }

void frmTableOpen::optSource_GotFocus(int Index) {
    Members& m = State();
    m.datasource = static_cast<short>(Index);
    if (m.DBPath.toString().isEmpty()) {
        Prompts::message("Please select a database.");
        return;
    }
    // Handing a recordset over closes the dialog's database; the file chosen
    // stays chosen, so a later showing opens it again.
    if (!DatabaseOpen() && !ReopenDatabase()) return;
    try {
        if (Index == 1) {
            txtSQL->clear();
            PopulateTableList(1);
        } else {
            PopulateTableList(2);
        }
    } catch (const Error& e) {
        Prompts::message(describe(e));
    }
}

void frmTableOpen::PopulateTableList(int which) {
    Members& m = State();
    QryList->clear();
    try {
        if (!DatabaseOpen()) throw Error(engine::err::DatabaseClosed, "Object invalid or no longer set.");
        if (which == 1) {
            for (const auto& t : m.database->TableDefs()) {
                QString name = QString::fromStdString(t->Name());
                if (name.left(4) == "MSys" || name.left(4) == "USys") continue;
                QryList->addItem(name);
            }
        } else {
            for (const auto& q : m.database->QueryDefs())
                if (q->Type() == 0 || q->Type() == 128) QryList->addItem(QString::fromStdString(q->Name()));
        }
    } catch (const Error& e) {
        if (m.DBPath.toString().isEmpty()) Prompts::message("Please select a Database.");
        else Prompts::message(describe(e));
    }
}

void frmTableOpen::QryList_Click() {
    Members& m = State();
    if (m.datasource != 2 || !QryList->currentItem() || !DatabaseOpen()) return;
    try {
        txtSQL->setPlainText(
            QString::fromStdString(m.database->QueryDefs()[QryList->currentItem()->text().toStdString()].SQL()));
    } catch (const Error& e) {
        Prompts::message(describe(e));
    }
}

QString frmTableOpen::DBName(const QString& path) {
    int slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    QString file = path.mid(slash + 1);
    int dot = file.lastIndexOf('.');
    return dot > 0 ? file.left(dot) : file;
}

void frmTableOpen::cmdOpenRecordset_Click() {
    Members& m = State();
    BusyPointer busy;
    QString selected = QryList->currentItem() ? QryList->currentItem()->text() : QString();
    m.RSName = DBName(m.DBPath.toString()) + "." + selected;
    if (selected.isEmpty()) {
        busy.release();
        Prompts::message("Please select a table.");
        return;
    }
    m.TableorQueryName = selected;
    if (m.datasource == 1) m.RSSource = selected;
    if (m.datasource == 2) {
        m.RSSource = txtSQL->toPlainText();
        if (txtSQL->toPlainText().trimmed().left(10).toUpper() == "PARAMETERS") {
            busy.release();
            Prompts::message("Parameter queries cannot be opened in this application.", "Error", Prompts::Icon::Exclamation);
            return;
        }
    }
    try {
        MakeGrid(m.DBPath, m.RSSource, m.RSName, m.datasource, m.TableorQueryName);
        if (m.database) m.database->Close();
        m.database.reset();
        busy.release();
        DoClose();
    } catch (const Error& e) {
        busy.release();
        Prompts::message(describe(e));
    }
}

void frmTableOpen::MakeGrid(const QVariant& DBPath, const QVariant& RSSource, const QVariant& RSName,
                            const QVariant& datasource, const QVariant& TableorQueryName) {
    moduleCreateGrid::CreateGrid(DBPath, RSSource, RSName, datasource, TableorQueryName);
    frmMain* main = frmMain::instance();
    frmView* view = main ? main->view() : nullptr;
    int k = view ? view->lstTable->currentRow() : -1;
    if (k >= 0 && k <= 11) {
        frmGrid* grid = moduleCreateGrid::WorkAreas[static_cast<size_t>(k)];
        if (grid && grid->successful.toBool() != true) {
            grid->DoClose();
            moduleCreateGrid::WorkAreas[static_cast<size_t>(k)] = nullptr;
            if (view) {
                // The slot is empty now (a grid it held before was replaced).
                view->lstTable->item(k)->setText(frmView::Placeholder(k));
                view->lstTable_Click();
            }
        } else if (grid) {
            isopen = true;
        }
    }
    if (isopen && view) {
        view->UpdateOpen(DBPath, RSSource, RSName, datasource);
        view->lstTable_Click();
    }
}

QVariant frmTableOpen::UsePassword() {
    Members& m = State();
    std::optional<QString> pw = Prompts::password("Please enter the database password:", "Password Required");
    QString connect = ";pwd=" + pw.value_or(QString());
    try {
        m.database = engine::DBEngine::OpenDatabase(m.DBPath.toString().toStdString(), false, false, connect.toStdString());
        return true;
    } catch (const Error& e) {
        Prompts::message(describe(e));
        return {};
    }
}

void frmTableOpen::cmdClose_Click() { DoClose(); }

void frmTableOpen::DoClose() {
    if (isVisible()) done(QDialog::Accepted);
    else close();
}
