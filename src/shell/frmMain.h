#pragma once
// The main window: the MDI frame with its menus, toolbar and status bar, the
// window-position settings and the scratch database.
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>

#include "engine/dao.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;
class frmDocument;
class frmTableOpen;
class frmView;
class frmRelations;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    frmMain();
    ~frmMain() override;

    // The one main window of the run (nullptr before Main and after exit).
    static frmMain* instance();

    // Members other windows use.
    std::shared_ptr<engine::Database> AppDB;           // the scratch database
    std::shared_ptr<engine::Recordset> RecentFiles;    // its "RecentFiles" table
    std::shared_ptr<engine::Database> RecentDB;        // opened by the recent list
    frmTableOpen* OpenDialog = nullptr;                // the recent list's dialog
    QString LastFolder, LastDrive;

    QMdiArea* mdiArea = nullptr;
    QToolBar* tbToolBar = nullptr;
    QStatusBar* sbStatusBar = nullptr;
    std::array<QLabel*, 4> Panels{};                   // text, "INS", "NUM", "CAPS"

    // Menu items.
    QMenu *mnuFile, *mnuEdit, *mnuView, *mnuRecord, *mnuTable, *mnuWindow, *mnuHelp, *mnuDeleteRelationTree;
    QAction *mnuFileNew, *mnuFileOpen, *mnuFileClose, *mnuFileBar0, *mnuFileSave, *mnuFileSaveAs, *mnuFileBar1,
        *mnuFilePageSetup, *mnuFilePrint, *mnuFileBar4, *mnuFileBar5, *mnuFileExit;
    std::array<QAction*, 7> mnuRecentFile{};           // entries 1 to 6
    QAction *mnuEditCut, *mnuEditCopy, *mnuEditPaste;
    QAction *mnuViewToolbar, *mnuViewStatusBar, *mnuFont;
    QAction *mnuAddRecords, *mnuDelete, *mnuFind, *mnuSeek, *mnuSetBM, *mnuMovetoBM, *mnuMovetoRecord;
    QAction *mnuOpenRecordset, *mnuSetup, *mnuUpdateTable, *mnuUpdateTableJoin, *mnuAppendfromTable,
        *mnuAppendfromText, *mnuCopytoTable, *mnuCopytoText, *mnuStatistics, *mnuMakeaQuery, *mnuQueryManager,
        *mnuTableStructure, *mnuImportFoxPro, *mnuDeleteRelation;
    QAction *mnuWindowCascade, *mnuWindowTileHorizontal, *mnuWindowTileVertical, *mnuViewWindow;
    QAction *mnuHelpContents, *mnuHelpBar0, *mnuHelpAbout;
    // Toolbar buttons by key ("New", "Bold", "Align Left"...).
    QAction* ToolbarButton(const QString& key) const;

    frmView* view() const { return view_; }

    // Documents: the one created last, the active one (nullptr when the active
    // window is no document) and the printer that Page Setup and Print share.
    QPointer<frmDocument> LastDocument;
    frmDocument* ActiveDocument() const;
    QPrinter& Printer();
    // Text and RTF first, then every file.
    static const QString DocumentFilter;
    void NewDocument();

    // The one writer of the status bar's text panel; StatusTextChanged tells each text.
    void SetStatusText(const QString& text);
    QString StatusText() const;

    // Start and shut-down.
    void Form_Load();
    QRect FirstRunGeometry(const QRect& stored) const;
    void Tile(bool rows);
    void Form_QueryUnload();
    void Form_Unload();

    // Commands other windows run.
    void OpenRecordset();
    void OpenSetup();
    // Shows the relation builder modally, owned by this window.
    void ShowSetRelations(frmRelations& dialog);

    // Handlers.
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileClose_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFilePageSetup_Click();
    void mnuFilePrint_Click();
    void mnuHelpAbout_Click();
    void mnuFileExit_Click();
    void mnuWindowCascade_Click();
    void mnuWindowTileHorizontal_Click();
    void mnuWindowTileVertical_Click();
    void mnuViewWindow_Click();
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    void mnuOpenRecordset_Click();
    void mnuSetup_Click();
    void mnuDeleteRelation_Click();
    void mnuSetBM_Click();
    void mnuMovetoBM_Click();
    void mnuMovetoRecord_Click();
    void mnuFind_Click();
    void mnuSeek_Click();
    void mnuUpdateTable_Click();
    void mnuAddRecords_Click();
    void mnuUpdateTableJoin_Click();
    void mnuDelete_Click();
    void mnuStatistics_Click();
    void mnuCopytoTable_Click();
    void mnuTableStructure_Click();
    void mnuQueryManager_Click();
    void mnuMakeaQuery_Click();
    void mnuAppendfromTable_Click();
    void mnuImportFoxPro_Click();
    void mnuCopytoText_Click();
    void mnuAppendfromText_Click();
    void mnuEditCopy_Click();
    void mnuEditCut_Click();
    void mnuEditPaste_Click();
    void mnuFont_Click();
    void mnuHelpContents_Click();
    void mnuRecentFile_Click(int index);
    void tbToolBar_ButtonClick(const QString& key);

    // Where the password of a recent entry's database is asked for.
    QVariant UsePassword();
    void ParseDBFPath(const QString& path);

    // The program's folder: the executable's, or LEDGERLY_HOME when set.
    static QString ProgramFolder();

signals:
    void StatusTextChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void updateKeyPanels();
    QWidget* activeForm() const;

    frmView* view_ = nullptr;
    QPointer<QMdiSubWindow> activeSub_;  // the child that was activated last
    std::unique_ptr<QPrinter> printer_;
    int documentCounter_ = 0;            // numbers of new documents, never reused in a run
    QList<QAction*> toolbarButtons_;
    bool insertMode_ = true;
    bool unloaded_ = false;
};
