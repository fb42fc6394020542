#include "shell/enablemenus.h"

#include <QAction>
#include <QToolBar>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"

namespace EnableMenus {

namespace {

QList<QAction*> commonGridCommands(frmMain* m) {
    return {m->mnuEditCopy,  m->mnuEditCut, m->mnuEditPaste, m->mnuCopytoTable,  m->mnuCopytoText,     m->mnuSetup,
            m->mnuMovetoBM,  m->mnuSetBM,   m->mnuStatistics, m->mnuUpdateTable, m->mnuUpdateTableJoin};
}

QList<QAction*> queryGridCommands(frmMain* m) { return {m->mnuFind, m->mnuMovetoRecord}; }

QList<QAction*> tableGridCommands(frmMain* m) {
    return {m->mnuAddRecords, m->mnuAppendfromTable, m->mnuAppendfromText, m->mnuDelete, m->mnuSeek};
}

QList<QAction*> documentCommands(frmMain* m) {
    return {m->mnuEditCopy, m->mnuEditCut, m->mnuEditPaste, m->mnuFilePrint, m->mnuFileSaveAs, m->mnuFileSave,
            m->mnuFileClose, m->mnuFilePageSetup};
}

void setEnabled(const QList<QAction*>& actions, bool on) {
    for (QAction* a : actions) a->setEnabled(on);
}

}  // namespace

void EnableGridMenus(const QVariant& RSetType) {
    frmMain* m = frmMain::instance();
    if (!m) return;
    setEnabled(commonGridCommands(m), true);
    if (RSetType.toInt() != 1) setEnabled(queryGridCommands(m), true);
    else setEnabled(tableGridCommands(m), true);
}

void DisableGridMenus() {
    frmMain* m = frmMain::instance();
    if (!m) return;
    setEnabled(commonGridCommands(m), false);
    setEnabled(queryGridCommands(m), false);
    setEnabled(tableGridCommands(m), false);
}

void EnableDocumentMenus() {
    frmMain* m = frmMain::instance();
    if (!m) return;
    setEnabled(documentCommands(m), true);
    m->tbToolBar->setEnabled(true);
}

void DisableDocumentMenus() {
    frmMain* m = frmMain::instance();
    if (!m) return;
    setEnabled(documentCommands(m), false);
    m->tbToolBar->setEnabled(false);
}

void ResetFormatButtons() {
    frmMain* m = frmMain::instance();
    if (!m) return;
    for (const char* key : {"Bold", "Italic", "Underline", "Align Left", "Center", "Align Right"})
        if (QAction* a = m->ToolbarButton(key)) a->setChecked(false);
}

void SaveRecentRecordset() {
    frmMain* m = frmMain::instance();
    if (!m || !m->RecentFiles || !m->view() || !m->view()->CGrid) return;
    frmGrid* grid = m->view()->CGrid;
    auto& rs = *m->RecentFiles;
    try {
        rs.SetIndex("Recordsets");
        rs.Seek("=", engine::Variant(grid->statusname.toString().toStdString()));
        if (rs.NoMatch()) {
            rs.SetIndex("MIndex");
            static const char* kFields[] = {"DBPath", "StatusName", "RSetType", "TableName",
                                            "PTop",   "PLeft",      "PWidth",   "PHeigth"};
            for (int i = 5; i >= 1; --i) {
                rs.Seek("=", engine::Variant::integer(static_cast<std::int16_t>(i)));
                if (rs.NoMatch()) continue;
                std::vector<engine::Variant> values;
                for (const char* f : kFields) values.push_back(rs.Fields(f).Value());
                rs.MoveNext();
                if (rs.EOF_()) continue;
                rs.Edit();
                for (size_t k = 0; k < values.size(); ++k) rs.Fields(kFields[k]).SetValue(values[k]);
                rs.Update();
            }
            rs.MoveFirst();
            rs.Edit();
            rs.Fields("DBPath").SetValue(engine::Variant(grid->DBPath.toStdString()));
            rs.Fields("StatusName").SetValue(engine::Variant(grid->statusname.toString().toStdString()));
            rs.Fields("RSetType").SetValue(engine::Variant(grid->RSetType.toInt()));
            rs.Fields("TableName").SetValue(engine::Variant(grid->TableName.toString().toStdString()));
            rs.Fields("MenuIndex").SetValue(engine::Variant(1));
            rs.Fields("PTop").SetValue(engine::Variant(grid->TopTwips()));
            rs.Fields("PLeft").SetValue(engine::Variant(grid->LeftTwips()));
            rs.Fields("PWidth").SetValue(engine::Variant(grid->WidthTwips()));
            rs.Fields("PHeigth").SetValue(engine::Variant(grid->HeightTwips()));
            rs.Update();
        }
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
        return;
    }
    LoadRecentMenu();
}

void LoadRecentMenu() {
    frmMain* m = frmMain::instance();
    if (!m || !m->RecentFiles) return;
    auto& rs = *m->RecentFiles;
    try {
        rs.SetIndex("MIndex");
        if (rs.RecordCount() == 0) return;
        rs.MoveFirst();
        auto name = [&] { return QString::fromStdString(rs.Fields("StatusName").Value().toText()).trimmed(); };
        if (!name().isEmpty()) m->mnuFileBar4->setVisible(true);
        for (int i = 1; i <= 6; ++i) {
            QString n = name();
            if (n.isEmpty()) break;
            m->mnuRecentFile[static_cast<size_t>(i)]->setText(QString::fromStdString(rs.Fields("StatusName").Value().toText()));
            m->mnuRecentFile[static_cast<size_t>(i)]->setVisible(true);
            rs.MoveNext();
            if (rs.EOF_()) break;
        }
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

}  // namespace EnableMenus
