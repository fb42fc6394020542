#include "shell/frmMain.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>

#include <cmath>

#include "dbwindow/frmView.h"
#include "grids/FrmRecordNumber.h"
#include "schema/frmIndexes.h"
#include "schema/frmTableStructure.h"
#include "grids/frmGrid.h"
#include "grids/frmStatisticsGrid1.h"
#include "queries/frmMakeQuery.h"
#include "queries/frmQueryManager.h"
#include "records/frmAddRecord.h"
#include "records/frmDelete.h"
#include "records/frmFind.h"
#include "records/frmModify.h"
#include "records/frmSeek.h"
#include "records/frmStatistics.h"
#include "records/frmUpdateTable.h"
#include "records/frmUpdateTableJoin.h"
#include "transfer/frmAppendTable.h"
#include "transfer/frmAppendText.h"
#include "transfer/frmCopytoTable.h"
#include "transfer/frmCopytoText.h"
#include "records/recorddialogs.h"
#include "relations/frmRelations.h"
#include "relations/relationsmanager.h"
#include "shell/enablemenus.h"
#include "shell/frmAbout.h"
#include "shell/frmDocument.h"
#include "shell/frmHelp.h"
#include "shell/frmTableOpen.h"
#include "shell/keystates.h"
#include "shell/prompts.h"
#include "shell/toolbaricons.h"
#include "shell/twips.h"
#include "transfer/frmImportTo2000.h"

#include <QListWidget>
#include <QTableView>
#include <QTreeWidget>

namespace {

frmMain* theMain = nullptr;

// The settings store: organisation and application "Ledgerly", group "Settings".
struct SettingsStore : QSettings {
    SettingsStore() : QSettings(QStringLiteral("Ledgerly"), QStringLiteral("Ledgerly")) { beginGroup("Settings"); }
};

// A setting in twips. A value that is no number (or none a screen could hold)
// counts as missing: that one edge takes its default, the others their values.
double twipsSetting(QSettings& s, const char* key, double fallback) {
    constexpr double kLimit = 1e7;  // about 7000 inches
    QVariant v = s.value(key);
    if (!v.isValid()) return fallback;
    bool ok = false;
    double d = v.toString().toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > kLimit) return fallback;
    return d;
}

void saveTwips(QSettings& s, const char* key, double value) { s.setValue(key, QString::number(static_cast<float>(value))); }

}  // namespace

frmMain* frmMain::instance() { return theMain; }

QString frmMain::ProgramFolder() {
    QString home = qEnvironmentVariable("LEDGERLY_HOME");
    return home.isEmpty() ? QCoreApplication::applicationDirPath() : home;
}

frmMain::frmMain() {
    theMain = this;
    setObjectName("frmMain");
    setWindowTitle(Prompts::kAppTitle);
    mdiArea = new QMdiArea(this);
    mdiArea->setObjectName("mdiArea");
    setCentralWidget(mdiArea);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    connect(mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        // Nothing active means the frame itself lost activation: no child changes.
        if (!sub) return;
        // The child that loses activation hears of it before the new one.
        if (activeSub_ && activeSub_ != sub)
            if (auto* doc = qobject_cast<frmDocument*>(activeSub_->widget())) doc->Form_Deactivate();
        activeSub_ = sub;
        if (auto* grid = qobject_cast<frmGrid*>(sub->widget())) grid->Form_Activate();
        else if (auto* v = qobject_cast<frmView*>(sub->widget())) v->Form_Activate();
        else if (auto* doc = qobject_cast<frmDocument*>(sub->widget())) doc->Form_Activate();
    });
    qApp->installEventFilter(this);
}

frmMain::~frmMain() {
    qApp->removeEventFilter(this);
    if (theMain == this) theMain = nullptr;
}

// ------------------------------------------------------------------- menus

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [&](QMenu*& m, const char* name, const QString& caption) {
        m = bar->addMenu(caption);
        m->setObjectName(name);
    };
    auto item = [this](QMenu* m, QAction*& a, const char* name, const QString& caption,
                       const QKeySequence& key = {}) {
        a = m->addAction(caption);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
    };
    auto bar0 = [](QMenu* m, QAction*& a, const char* name) {
        a = m->addSeparator();
        a->setObjectName(name);
    };

    menu(mnuFile, "mnuFile", "&File");
    item(mnuFile, mnuFileNew, "mnuFileNew", "&New", QKeySequence("Ctrl+N"));
    item(mnuFile, mnuFileOpen, "mnuFileOpen", "&Open...", QKeySequence("Ctrl+O"));
    item(mnuFile, mnuFileClose, "mnuFileClose", "&Close");
    bar0(mnuFile, mnuFileBar0, "mnuFileBar0");
    item(mnuFile, mnuFileSave, "mnuFileSave", "&Save");
    item(mnuFile, mnuFileSaveAs, "mnuFileSaveAs", "Save &As...");
    bar0(mnuFile, mnuFileBar1, "mnuFileBar1");
    item(mnuFile, mnuFilePageSetup, "mnuFilePageSetup", "Page Set&up...");
    item(mnuFile, mnuFilePrint, "mnuFilePrint", "&Print...");
    bar0(mnuFile, mnuFileBar4, "mnuFileBar4");
    mnuFileBar4->setVisible(false);
    for (int i = 1; i <= 6; ++i) {
        QAction* a = mnuFile->addAction(QString("RecentFile%1").arg(i));
        a->setObjectName(QString("mnuRecentFile%1").arg(i));
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, i] { mnuRecentFile_Click(i); });
        mnuRecentFile[static_cast<size_t>(i)] = a;
    }
    bar0(mnuFile, mnuFileBar5, "mnuFileBar5");
    item(mnuFile, mnuFileExit, "mnuFileExit", "E&xit");

    menu(mnuEdit, "mnuEdit", "&Edit");
    item(mnuEdit, mnuEditCut, "mnuEditCut", "Cu&t", QKeySequence("Ctrl+X"));
    item(mnuEdit, mnuEditCopy, "mnuEditCopy", "&Copy", QKeySequence("Ctrl+C"));
    item(mnuEdit, mnuEditPaste, "mnuEditPaste", "&Paste", QKeySequence("Ctrl+V"));

    menu(mnuView, "mnuView", "&View");
    item(mnuView, mnuViewToolbar, "mnuViewToolbar", "&Toolbar");
    mnuViewToolbar->setCheckable(true);
    mnuViewToolbar->setChecked(true);
    item(mnuView, mnuViewStatusBar, "mnuViewStatusBar", "Status &Bar");
    mnuViewStatusBar->setCheckable(true);
    mnuViewStatusBar->setChecked(true);
    item(mnuView, mnuFont, "mnuFont", "Font");

    menu(mnuRecord, "mnuRecord", "&Record");
    item(mnuRecord, mnuAddRecords, "mnuAddRecords", "Add");
    item(mnuRecord, mnuDelete, "mnuDelete", "Delete");
    item(mnuRecord, mnuFind, "mnuFind", "Find");
    item(mnuRecord, mnuSeek, "mnuSeek", "Seek");
    item(mnuRecord, mnuSetBM, "mnuSetBM", "Set Bookmark");
    item(mnuRecord, mnuMovetoBM, "mnuMovetoBM", "Move to Bookmark");
    item(mnuRecord, mnuMovetoRecord, "mnuMovetoRecord", "Move to Record No.");

    menu(mnuTable, "mnuTable", "&Table");
    item(mnuTable, mnuOpenRecordset, "mnuOpenRecordset", "Open Recordset");
    item(mnuTable, mnuSetup, "mnuSetup", "Setup");
    item(mnuTable, mnuUpdateTable, "mnuUpdateTable", "Update Table");
    item(mnuTable, mnuUpdateTableJoin, "mnuUpdateTableJoin", "Update Table Join");
    item(mnuTable, mnuAppendfromTable, "mnuAppendfromTable", "Append from Table");
    item(mnuTable, mnuAppendfromText, "mnuAppendfromText", "Append from Text");
    item(mnuTable, mnuCopytoTable, "mnuCopytoTable", "Copy to Table");
    item(mnuTable, mnuCopytoText, "mnuCopytoText", "Copy to Text");
    item(mnuTable, mnuStatistics, "mnuStatistics", "Statistics");
    item(mnuTable, mnuMakeaQuery, "mnuMakeaQuery", "Query Builder");
    item(mnuTable, mnuQueryManager, "mnuQueryManager", "Query Manager");
    item(mnuTable, mnuTableStructure, "mnuTableStructure", "Table Structure");
    item(mnuTable, mnuImportFoxPro, "mnuImportFoxPro", "Import FoxPro Table into Access 2000");

    // The relations tree's pop-up menu: never on the menu bar.
    mnuDeleteRelationTree = new QMenu("DeleteRelationTree", this);
    mnuDeleteRelationTree->setObjectName("mnuDeleteRelationTree");
    item(mnuDeleteRelationTree, mnuDeleteRelation, "mnuDeleteRelation", "Delete");

    menu(mnuWindow, "mnuWindow", "&Window");
    item(mnuWindow, mnuWindowCascade, "mnuWindowCascade", "&Cascade");
    item(mnuWindow, mnuWindowTileHorizontal, "mnuWindowTileHorizontal", "Tile &Horizontal");
    item(mnuWindow, mnuWindowTileVertical, "mnuWindowTileVertical", "Tile &Vertical");
    item(mnuWindow, mnuViewWindow, "mnuViewWindow", "View Window");
    // The open child windows are listed below the commands.
    connect(mnuWindow, &QMenu::aboutToShow, this, [this] {
        for (QAction* a : mnuWindow->actions())
            if (a->property("childWindow").toBool()) {
                mnuWindow->removeAction(a);
                a->deleteLater();
            }
        const auto windows = mdiArea->subWindowList();
        if (windows.isEmpty()) return;
        QAction* sep = mnuWindow->addSeparator();
        sep->setProperty("childWindow", true);
        int n = 1;
        for (QMdiSubWindow* w : windows) {
            QAction* a = mnuWindow->addAction(QString("&%1 %2").arg(n++).arg(w->windowTitle()));
            a->setProperty("childWindow", true);
            a->setCheckable(true);
            a->setChecked(w == mdiArea->activeSubWindow());
            connect(a, &QAction::triggered, this, [this, w] { mdiArea->setActiveSubWindow(w); });
        }
    });

    menu(mnuHelp, "mnuHelp", "&Help");
    item(mnuHelp, mnuHelpContents, "mnuHelpContents", "&Contents");
    bar0(mnuHelp, mnuHelpBar0, "mnuHelpBar0");
    item(mnuHelp, mnuHelpAbout, "mnuHelpAbout", "&About ");

    connect(mnuFileNew, &QAction::triggered, this, &frmMain::mnuFileNew_Click);
    connect(mnuFileOpen, &QAction::triggered, this, &frmMain::mnuFileOpen_Click);
    connect(mnuFileClose, &QAction::triggered, this, &frmMain::mnuFileClose_Click);
    connect(mnuFileSave, &QAction::triggered, this, &frmMain::mnuFileSave_Click);
    connect(mnuFileSaveAs, &QAction::triggered, this, &frmMain::mnuFileSaveAs_Click);
    connect(mnuFilePageSetup, &QAction::triggered, this, &frmMain::mnuFilePageSetup_Click);
    connect(mnuFilePrint, &QAction::triggered, this, &frmMain::mnuFilePrint_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    connect(mnuWindowCascade, &QAction::triggered, this, &frmMain::mnuWindowCascade_Click);
    connect(mnuWindowTileHorizontal, &QAction::triggered, this, &frmMain::mnuWindowTileHorizontal_Click);
    connect(mnuWindowTileVertical, &QAction::triggered, this, &frmMain::mnuWindowTileVertical_Click);
    connect(mnuViewWindow, &QAction::triggered, this, &frmMain::mnuViewWindow_Click);
    connect(mnuViewToolbar, &QAction::triggered, this, &frmMain::mnuViewToolbar_Click);
    connect(mnuViewStatusBar, &QAction::triggered, this, &frmMain::mnuViewStatusBar_Click);
    connect(mnuOpenRecordset, &QAction::triggered, this, &frmMain::mnuOpenRecordset_Click);
    connect(mnuSetup, &QAction::triggered, this, &frmMain::mnuSetup_Click);
    connect(mnuDeleteRelation, &QAction::triggered, this, &frmMain::mnuDeleteRelation_Click);
    connect(mnuSetBM, &QAction::triggered, this, &frmMain::mnuSetBM_Click);
    connect(mnuMovetoBM, &QAction::triggered, this, &frmMain::mnuMovetoBM_Click);
    connect(mnuMovetoRecord, &QAction::triggered, this, &frmMain::mnuMovetoRecord_Click);
    connect(mnuFind, &QAction::triggered, this, &frmMain::mnuFind_Click);
    connect(mnuSeek, &QAction::triggered, this, &frmMain::mnuSeek_Click);
    connect(mnuUpdateTable, &QAction::triggered, this, &frmMain::mnuUpdateTable_Click);
    connect(mnuAddRecords, &QAction::triggered, this, &frmMain::mnuAddRecords_Click);
    connect(mnuUpdateTableJoin, &QAction::triggered, this, &frmMain::mnuUpdateTableJoin_Click);
    connect(mnuDelete, &QAction::triggered, this, &frmMain::mnuDelete_Click);
    connect(mnuStatistics, &QAction::triggered, this, &frmMain::mnuStatistics_Click);
    connect(mnuCopytoTable, &QAction::triggered, this, &frmMain::mnuCopytoTable_Click);
    connect(mnuTableStructure, &QAction::triggered, this, &frmMain::mnuTableStructure_Click);
    connect(mnuQueryManager, &QAction::triggered, this, &frmMain::mnuQueryManager_Click);
    connect(mnuMakeaQuery, &QAction::triggered, this, &frmMain::mnuMakeaQuery_Click);
    connect(mnuAppendfromTable, &QAction::triggered, this, &frmMain::mnuAppendfromTable_Click);
    connect(mnuImportFoxPro, &QAction::triggered, this, &frmMain::mnuImportFoxPro_Click);
    connect(mnuCopytoText, &QAction::triggered, this, &frmMain::mnuCopytoText_Click);
    connect(mnuAppendfromText, &QAction::triggered, this, &frmMain::mnuAppendfromText_Click);
    connect(mnuEditCopy, &QAction::triggered, this, &frmMain::mnuEditCopy_Click);
    connect(mnuEditCut, &QAction::triggered, this, &frmMain::mnuEditCut_Click);
    connect(mnuEditPaste, &QAction::triggered, this, &frmMain::mnuEditPaste_Click);
    connect(mnuFont, &QAction::triggered, this, &frmMain::mnuFont_Click);
    connect(mnuHelpContents, &QAction::triggered, this, &frmMain::mnuHelpContents_Click);
}

void frmMain::buildToolbar() {
    tbToolBar = addToolBar("Toolbar");
    tbToolBar->setObjectName("tbToolBar");
    tbToolBar->setIconSize(QSize(16, 16));
    tbToolBar->setMovable(false);
    // The frame's own context menu can hide the bar too: the check mark follows the bar.
    connect(tbToolBar, &QToolBar::visibilityChanged, mnuViewToolbar, [this](bool visible) {
        if (isVisible()) mnuViewToolbar->setChecked(visible);
    });
    const QStringList layout = {"New",  "Open",   "Save",      "-",          "Print",  "-",
                                "Cut",  "Copy",   "Paste",     "-",          "Bold",   "Italic",
                                "Underline", "-", "Align Left", "Center", "Align Right"};
    for (const QString& key : layout) {
        if (key == "-") {
            tbToolBar->addSeparator();
            continue;
        }
        QAction* a = tbToolBar->addAction(ToolbarIcons::icon(key), key);
        a->setObjectName(key);
        a->setToolTip(key);
        a->setData(key);
        if (ToolbarIcons::isFormatKey(key)) a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
        toolbarButtons_.append(a);
    }
}

QAction* frmMain::ToolbarButton(const QString& key) const {
    for (QAction* a : toolbarButtons_)
        if (a->data().toString() == key) return a;
    return nullptr;
}

void frmMain::buildStatusBar() {
    sbStatusBar = statusBar();
    sbStatusBar->setObjectName("sbStatusBar");
    const char* texts[] = {"", "INS", "NUM", "CAPS"};
    for (size_t i = 0; i < Panels.size(); ++i) {
        auto* l = new QLabel(texts[i], sbStatusBar);
        l->setObjectName(QString("Panel%1").arg(i + 1));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        if (i == 0) l->setMinimumWidth(200);
        else l->setAlignment(Qt::AlignCenter);
        sbStatusBar->addPermanentWidget(l, i == 0 ? 1 : 0);
        Panels[i] = l;
    }
    updateKeyPanels();
}

void frmMain::updateKeyPanels() {
    Panels[1]->setEnabled(insertMode_);
    // The lock states come from the platform where it tells them; elsewhere the
    // panels follow the lock keys pressed in the program.
    if (auto locks = KeyStates::query()) {
        Panels[2]->setEnabled(locks->numLock);
        Panels[3]->setEnabled(locks->capsLock);
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Insert && !key->isAutoRepeat()) {
            insertMode_ = !insertMode_;
            updateKeyPanels();
        } else if (key->key() == Qt::Key_NumLock && !key->isAutoRepeat()) {
            Panels[2]->setEnabled(!Panels[2]->isEnabled());
        } else if (key->key() == Qt::Key_CapsLock && !key->isAutoRepeat()) {
            Panels[3]->setEnabled(!Panels[3]->isEnabled());
        }
    } else if (event->type() == QEvent::KeyRelease || event->type() == QEvent::ApplicationActivate) {
        updateKeyPanels();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::SetStatusText(const QString& text) {
    Panels[0]->setText(text);
    emit StatusTextChanged(text);
}
QString frmMain::StatusText() const { return Panels[0]->text(); }

// --------------------------------------------------------- start and close

void frmMain::Form_Load() {
    try {
        SettingsStore s;
        double left = twipsSetting(s, "MainLeft", 1000), top = twipsSetting(s, "MainTop", 1000);
        double width = twipsSetting(s, "MainWidth", 6500), height = twipsSetting(s, "MainHeight", 6500);
        QRect stored(Twips::toPixelsX(left), Twips::toPixelsY(top), Twips::toPixelsX(width), Twips::toPixelsY(height));
        // One geometry request: a second one right after it can be lost on a real X server.
        setGeometry(s.contains("MainWidth") && s.contains("MainHeight") ? stored : FirstRunGeometry(stored));
        double viewLeft = twipsSetting(s, "ViewLeft", 1000), viewTop = twipsSetting(s, "ViewTop", 1000);
        view_ = new frmView;
        QMdiSubWindow* sub = mdiArea->addSubWindow(view_, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
        view_->Form_Load();
        sub->move(Twips::toPixelsX(viewLeft), Twips::toPixelsY(viewTop));
        sub->show();
        AppDB = engine::DBEngine::OpenDatabase((ProgramFolder() + "/TempTables.mdb").toStdString());
        AppDB->TableDefs().Refresh();
        RecentFiles = AppDB->OpenRecordset("RecentFiles");
        RecentFiles->SetIndex("Recordsets");
        mdiArea->setActiveSubWindow(sub);
        view_->Form_Activate();
        EnableMenus::LoadRecentMenu();
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

// With no stored size, the frame opens large enough for the database window and a
// grid beside it, within the screen's available area; stored sizes stay as stored.
QRect frmMain::FirstRunGeometry(const QRect& stored) const {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return stored;
    // The window system's frame is part of what must fit.
    QMargins m = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect avail = screen->availableGeometry().marginsRemoved(m);
    constexpr double kViewAndGridWidth = 15000, kViewAndGridHeight = 8400;  // twips, bars included
    int w = std::min(avail.width(), std::max(Twips::toPixelsX(kViewAndGridWidth), avail.width() * 4 / 5));
    int h = std::min(avail.height(), std::max(Twips::toPixelsY(kViewAndGridHeight), avail.height() * 4 / 5));
    int x = std::clamp(stored.x(), avail.left(), avail.right() - w + 1);
    int y = std::clamp(stored.y(), avail.top(), avail.bottom() - h + 1);
    return QRect(x, y, w, h);
}

void frmMain::Form_QueryUnload() {
    SettingsStore s;
    if (view_ && view_->parentWidget()) {
        QWidget* frame = view_->parentWidget();
        saveTwips(s, "ViewLeft", Twips::fromPixelsX(frame->x()));
        saveTwips(s, "ViewTop", Twips::fromPixelsY(frame->y()));
    }
    if (RecentFiles) RecentFiles->Close();
    RecentFiles.reset();
    if (AppDB) AppDB->Close();
    AppDB.reset();
}

void frmMain::Form_Unload() {
    if (isMinimized()) return;
    SettingsStore s;
    QRect g = geometry();
    saveTwips(s, "MainLeft", Twips::fromPixelsX(g.x()));
    saveTwips(s, "MainTop", Twips::fromPixelsY(g.y()));
    saveTwips(s, "MainWidth", Twips::fromPixelsX(g.width()));
    saveTwips(s, "MainHeight", Twips::fromPixelsY(g.height()));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_QueryUnload();
        Form_Unload();
        mdiArea->closeAllSubWindows();
    }
    event->accept();
}

void frmMain::mnuFileExit_Click() { close(); }

// --------------------------------------------------------- window and view

namespace {

// The children that take part in an arrangement (minimized ones stay where they are).
QList<QMdiSubWindow*> arrangeable(QMdiArea* area, QMdiArea::WindowOrder order) {
    QList<QMdiSubWindow*> out;
    for (QMdiSubWindow* w : area->subWindowList(order))
        if (w->isVisible() && !w->isMinimized()) out << w;
    return out;
}

}  // namespace

// Each child keeps its size (within the frame) and steps down and right by a
// title bar's height, in stacking order, so every title stays in reach.
void frmMain::mnuWindowCascade_Click() {
    const auto windows = arrangeable(mdiArea, QMdiArea::StackingOrder);
    QRect area = mdiArea->viewport()->rect();
    int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    int x = 0, y = 0;
    for (QMdiSubWindow* w : windows) {
        w->showNormal();
        QSize size = w->size().boundedTo(area.size());
        if (x + size.width() > area.width() || y + size.height() > area.height()) x = y = 0;
        w->setGeometry(x, y, size.width(), size.height());
        w->raise();
        x += step;
        y += step;
    }
}

// Tiles the children in equal bands: rows one above another, or columns side by side.
void frmMain::Tile(bool rows) {
    const auto windows = arrangeable(mdiArea, QMdiArea::CreationOrder);
    QRect area = mdiArea->viewport()->rect();
    int n = static_cast<int>(windows.size());
    int length = rows ? area.height() : area.width();
    for (int i = 0; i < n; ++i) {
        windows[i]->showNormal();
        int from = length * i / n, to = length * (i + 1) / n;
        windows[i]->setGeometry(rows ? QRect(0, from, area.width(), to - from) : QRect(from, 0, to - from, area.height()));
    }
}

void frmMain::mnuWindowTileHorizontal_Click() { Tile(true); }
void frmMain::mnuWindowTileVertical_Click() { Tile(false); }

void frmMain::mnuViewWindow_Click() {
    if (view_ && view_->parentWidget()) mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view_->parentWidget()));
}

void frmMain::mnuViewToolbar_Click() {
    // The action toggled its own check mark; the bar follows it.
    tbToolBar->setVisible(mnuViewToolbar->isChecked());
}

void frmMain::mnuViewStatusBar_Click() { sbStatusBar->setVisible(mnuViewStatusBar->isChecked()); }

// ------------------------------------------------------------ commands

void frmMain::OpenRecordset() { mnuOpenRecordset_Click(); }

void frmMain::mnuOpenRecordset_Click() {
    frmTableOpen dialog(this);
    Prompts::showModal(dialog);
    mnuViewWindow_Click();
    if (view_ && view_->CGrid) {
        if (QWidget* frame = view_->CGrid->parentWidget()) mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(frame));
        view_->CGrid->setFocus();
        EnableMenus::SaveRecentRecordset();
    }
}

void frmMain::OpenSetup() { mnuSetup_Click(); }

void frmMain::mnuSetup_Click() {
    frmGrid* grid = view_ ? view_->CGrid.data() : nullptr;
    if (!grid) return;
    if (grid->RSetType.toInt() != 1) {
        frmModify dialog(this);
        Prompts::showModal(dialog);
        return;
    }
    if (grid->IsaLinkedTable) {
        Prompts::message("Indexes cannot be set on linked tables.", "Error", Prompts::Icon::Exclamation);
        return;
    }
    frmIndexes dialog(this);
    if (dialog.Form_Load()) Prompts::showModal(dialog);
}

void frmMain::ShowSetRelations(frmRelations& dialog) { Prompts::showModal(dialog); }

void frmMain::mnuDeleteRelation_Click() {
    if (!view_) return;
    try {
        RelationsManager::DeleteRelation(view_->SelectedRelationNode());
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

void frmMain::mnuSetBM_Click() {
    if (view_ && view_->CGrid) view_->CGrid->StoreBM();
}

void frmMain::mnuMovetoBM_Click() {
    if (view_ && view_->CGrid) view_->CGrid->MoveToBM();
}

void frmMain::mnuFind_Click() {
    frmFind dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuSeek_Click() {
    if (!frmSeek::CanSeek(RecordDialogs::CurrentGrid())) return;
    frmSeek dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuUpdateTable_Click() {
    if (!frmUpdateTable::CanUpdate(RecordDialogs::CurrentGrid())) return;
    frmUpdateTable dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuUpdateTableJoin_Click() {
    if (!frmUpdateTableJoin::HasChildTables(RecordDialogs::CurrentGrid())) return;
    frmUpdateTableJoin dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuAddRecords_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmAddRecord dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuDelete_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmDelete dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuCopytoTable_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmCopytoTable dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuAppendfromTable_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmAppendTable dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuMakeaQuery_Click() {
    auto* builder = new frmMakeQuery(this);  // modeless, a window of its own
    builder->setAttribute(Qt::WA_DeleteOnClose);
    builder->show();
    builder->activateWindow();
}

void frmMain::mnuQueryManager_Click() {
    auto* manager = new frmQueryManager;
    QMdiSubWindow* sub = mdiArea->addSubWindow(manager);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    manager->Form_Load();
    sub->show();
    mdiArea->setActiveSubWindow(sub);
}

void frmMain::mnuTableStructure_Click() {
    // Modeless: it works on a file of its own choosing, beside the grids.
    auto* dialog = new frmTableStructure(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->activateWindow();
}

void frmMain::mnuCopytoText_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmCopytoText dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuAppendfromText_Click() {
    if (!RecordDialogs::CurrentGrid()) return;
    frmAppendText dialog(this);
    Prompts::showModal(dialog);
}

void frmMain::mnuStatistics_Click() {
    // The result window is prepared by the dialog and shown once the dialog is gone.
    frmStatisticsGrid1 result(this);
    {
        frmStatistics dialog(result, this);
        if (!dialog.Form_Load()) return;
        Prompts::showModal(dialog);
    }
    if (result.successful.toBool()) Prompts::showModal(result);
}

// Modeless: the one import dialog, shown again if it is open.
void frmMain::mnuImportFoxPro_Click() { frmImportTo2000::ShowDialog(this); }

void frmMain::mnuMovetoRecord_Click() {
    FrmRecordNumber dialog(this);
    Prompts::showModal(dialog);
}

QWidget* frmMain::activeForm() const {
    QMdiSubWindow* sub = mdiArea->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

// Edit commands work on the selected text of the active window's focused
// control; in a document window, on its text box.
namespace {

QWidget* editTarget(frmDocument* doc) {
    return doc ? static_cast<QWidget*>(doc->rtfText) : QApplication::focusWidget();
}

}  // namespace

void frmMain::mnuEditCopy_Click() {
    QWidget* w = editTarget(ActiveDocument());
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->selectedText();
    // Through the selection's own text form: paragraph ends become line ends.
    else if (auto* t = qobject_cast<QTextEdit*>(w)) text = t->textCursor().selection().toPlainText();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) text = p->textCursor().selection().toPlainText();
    else if (auto* v = qobject_cast<QTableView*>(w)) text = v->currentIndex().data().toString();
    else if (auto* l = qobject_cast<QListWidget*>(w)) text = l->currentItem() ? l->currentItem()->text() : QString();
    else return;
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setText(text);
}

void frmMain::mnuEditCut_Click() {
    mnuEditCopy_Click();
    QWidget* w = editTarget(ActiveDocument());
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->del();
    else if (auto* t = qobject_cast<QTextEdit*>(w)) t->textCursor().removeSelectedText();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->textCursor().removeSelectedText();
}

// In a document window the command does nothing: its text box takes the
// clipboard with its own keys and context menu.
void frmMain::mnuEditPaste_Click() {
    if (ActiveDocument()) return;
    QWidget* w = QApplication::focusWidget();
    QString text = QApplication::clipboard()->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->insert(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w)) t->insertPlainText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->insertPlainText(text);
}

void frmMain::mnuFont_Click() {
    QWidget* form = activeForm();
    QFont initial = form ? form->font() : font();
    std::optional<QFont> chosen = Prompts::chooseFont(initial);
    if (!chosen) return;  // cancelled: nothing changes
    if (auto* doc = qobject_cast<frmDocument*>(form)) {
        // Name and size for the whole text; bold, italic and the rest stay.
        QTextCharFormat format;
        format.setFontFamilies({chosen->family()});
        format.setFontPointSize(chosen->pointSizeF());
        QTextCursor all(doc->rtfText->document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(format);
        doc->rtfText->mergeCurrentCharFormat(format);
        QFont base = doc->rtfText->document()->defaultFont();
        base.setFamily(chosen->family());
        base.setPointSizeF(chosen->pointSizeF());
        doc->rtfText->document()->setDefaultFont(base);
    } else if (auto* grid = qobject_cast<frmGrid*>(form)) {
        grid->DBGrid1->setFont(*chosen);
    } else if (auto* v = qobject_cast<frmView*>(form)) {
        v->lstTable->setFont(*chosen);
        v->TreeViewRelations->setFont(*chosen);
    }
}

void frmMain::mnuHelpContents_Click() {
    QString guide = ProgramFolder() + "/docs/index.html";
    if (!QFileInfo::exists(guide)) {
        Prompts::message("The user guide was not found at " + guide + ".", Prompts::kAppTitle, Prompts::Icon::Exclamation);
        return;
    }
    frmHelp::ShowGuide(guide);
}

void frmMain::mnuHelpAbout_Click() { frmAbout::ShowAbout(); }

// The command buttons run their menu commands; the format buttons change the
// active document's selection and show the state it is left in.
void frmMain::tbToolBar_ButtonClick(const QString& key) {
    if (key == "New") return mnuFileNew_Click();
    if (key == "Open") return mnuFileOpen_Click();
    if (key == "Save") return mnuFileSave_Click();
    if (key == "Print") return mnuFilePrint_Click();
    if (key == "Cut") return mnuEditCut_Click();
    if (key == "Copy") return mnuEditCopy_Click();
    if (key == "Paste") return mnuEditPaste_Click();
    frmDocument* doc = ActiveDocument();
    QAction* button = ToolbarButton(key);
    if (!doc) {
        if (button) button->setChecked(false);  // nothing was formatted
        return;
    }
    struct FlagKey {
        const char* key;
        frmDocument::Flag flag;
    } const flags[] = {{"Bold", frmDocument::Flag::Bold},
                       {"Italic", frmDocument::Flag::Italic},
                       {"Underline", frmDocument::Flag::Underline}};
    for (const FlagKey& f : flags) {
        if (key != f.key) continue;
        const bool on = !doc->SelectionHas(f.flag);
        QTextCharFormat format;
        if (f.flag == frmDocument::Flag::Bold) format.setFontWeight(on ? QFont::Bold : QFont::Normal);
        else if (f.flag == frmDocument::Flag::Italic) format.setFontItalic(on);
        else format.setFontUnderline(on);
        doc->rtfText->mergeCurrentCharFormat(format);
        if (button) button->setChecked(doc->SelectionHas(f.flag));
        return;
    }
    struct AlignKey {
        const char* key;
        Qt::Alignment alignment;
    } const alignments[] = {{"Align Left", Qt::AlignLeft}, {"Center", Qt::AlignHCenter}, {"Align Right", Qt::AlignRight}};
    for (const AlignKey& a : alignments)
        if (key == a.key) {
            doc->rtfText->setAlignment(a.alignment);
            doc->rtfText_SelChange();
        }
}

void frmMain::mnuRecentFile_Click(int index) {
    if (!RecentFiles) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = [] { QApplication::restoreOverrideCursor(); };
    auto& rs = *RecentFiles;
    try {
        rs.SetIndex("MIndex");
        rs.Seek("=", engine::Variant::integer(static_cast<std::int16_t>(index)));
        if (rs.NoMatch()) throw engine::Error(engine::err::NoCurrentRecord, "No current record.");
        const std::string path = rs.Fields("DBPath").Value().toText();
        try {
            RecentDB = engine::DBEngine::OpenDatabase(path);
        } catch (const engine::Error& e) {
            if (e.number() != engine::err::BadPassword) throw;
            restore();
            if (UsePassword().toBool() != true) return;
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        frmTableOpen dialog(this);  // never shown: its hand-over opens the grid
        OpenDialog = &dialog;
        QString statusName = QString::fromStdString(rs.Fields("StatusName").Value().toText());
        int type = static_cast<int>(rs.Fields("RSetType").Value().toInt64());
        QString table = QString::fromStdString(rs.Fields("TableName").Value().toText());
        QString source;
        if (type == 1) source = table;
        else if (type == 2) source = QString::fromStdString(RecentDB->QueryDefs()[table.toStdString()].SQL());
        double top = rs.Fields("PTop").Value().toDouble(), left = rs.Fields("PLeft").Value().toDouble();
        double width = rs.Fields("PWidth").Value().toDouble(), height = rs.Fields("PHeigth").Value().toDouble();
        dialog.MakeGrid(QString::fromStdString(path), source, statusName, type, table);
        // The file's folder becomes the process's current folder (there are no
        // drives to change here).
        ParseDBFPath(QString::fromStdString(path));
        if (!LastFolder.isEmpty()) QDir::setCurrent(LastFolder);
        dialog.DoClose();
        OpenDialog = nullptr;
        // A row without a size (written by hand or another program) keeps the
        // size the grid opened with instead of shrinking it to nothing.
        if (view_ && view_->CGrid) {
            frmGrid* grid = view_->CGrid;
            if (width <= 0 || height <= 0) {
                width = grid->WidthTwips();
                height = grid->HeightTwips();
            }
            grid->MoveTwips(left, top, width, height);
        }
        restore();
    } catch (const engine::Error& e) {
        OpenDialog = nullptr;
        restore();
        Prompts::message(QString::fromStdString(e.description()));
    }
}

QVariant frmMain::UsePassword() {
    std::optional<QString> pw = Prompts::password("Please enter the database password:", "Password Required");
    std::string connect = ";pwd=" + pw.value_or(QString()).toStdString();
    try {
        RecentDB = engine::DBEngine::OpenDatabase(RecentFiles->Fields("DBPath").Value().toText(), false, false, connect);
        return true;
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
        return {};
    }
}

void frmMain::ParseDBFPath(const QString& path) {
    int p = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    LastFolder = p > 0 ? path.left(p) : QString();
    LastDrive = path.left(2);
}
