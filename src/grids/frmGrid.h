#pragma once
// A grid window: one recordset of one database file, with its own connection,
// shown in a grid that reads only the rows on screen.
#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "engine/dao.h"

class ClassRelation;
class DataControl;
class QMdiSubWindow;
class QModelIndex;
class QTableView;
class RecordsetModel;

class frmGrid : public QWidget {
    Q_OBJECT
public:
    explicit frmGrid(QWidget* parent = nullptr);
    ~frmGrid() override;

    // Public members, read and written by the other windows.
    std::shared_ptr<engine::Database> db1;
    std::shared_ptr<engine::Recordset> rs1;
    QList<ClassRelation*> ColRelations;  // relations in which this grid is the parent (owned)
    QVariant RSetType;                   // 1 table opened by name; anything else: SQL
    short selectedWA = 0;
    QVariant SelectFromClause;
    QVariant Whereclause;
    QVariant RestofClause;
    QString WALetter;
    QVariant OriginalRSSource;
    QVariant Fullclause;
    QVariant statusname;
    QVariant WhereSuffix;
    QVariant TableName;
    QString DBPath;
    QVariant successful;                 // empty until set-up completes
    QVariant isFiltered, FoundChild;
    QVariant GotReSQLed;
    QVariant HasParent;
    bool IsaLinkedTable = false;
    QVariant PreviousRow;                // bookmark of the row at the last row change
    QVariant RepositionBM;               // stored bookmark
    QVariant columnwidth;                // sum of column widths, twips
    int NumCols = 0;

    // Controls.
    DataControl* Data1 = nullptr;
    QTableView* DBGrid1 = nullptr;

    void SetupRecordset(const QVariant& DBasePath, const QVariant& RSDescription, const QVariant& RSName,
                        const QVariant& RSType, const QVariant& TableorQueryName, const QVariant& Letter);
    void DoClose();
    // Closes rs1 and db1 (each only if set) without unloading the window.
    void ReleaseRecordset();
    void NeedsRefresh();
    void ParseRSSource();
    void MakeClause();

    // Parent/child synchronization: a parent brings each child in line with
    // its current row; a query child is re-opened with the parent's values,
    // a table child seeks them on its current index.
    void CheckChildCollection();
    void SynchQueryWithParent(const QVariant& WhereSuffix);
    void SynchTableWithParent(ClassRelation* NextRelation, const engine::Variant& PField1,
                              const engine::Variant& PField2, const engine::Variant& PField3);

    // Bookmarks and positioning.
    void StoreBM();
    void MoveToBM();
    void GotoRecordNumber(const QVariant& RNumber);

    // Window events.
    void Form_Load();
    void Form_Resize();
    void Form_Activate();
    void DBGrid1_RowColChange();

    // The status text of this grid: table grids show the record count, query
    // grids the position as well.
    QString StatusLine() const;

    // Window rectangle in twips (the MDI child's frame).
    double LeftTwips() const;
    double TopTwips() const;
    double WidthTwips() const;
    double HeightTwips() const;
    void MoveTwips(double left, double top, double width, double height);
    void SetWidthTwips(double width);
    // Moves the window inside the frame's visible area (its title bar and
    // buttons in reach), keeping its size where it fits.
    void KeepInsideFrame();

    QMdiSubWindow* subWindow() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window is going: it leaves the loaded grids and its relations end.
    void Unload();
    void bindGrid();
    // A new recordset starts at its first record, which the stored bookmark
    // names unless it is kept.
    void startAtFirstRecord(bool storeBookmark = true);
    void sizeToColumns();
    void followRecordset();
    void showError(const engine::Error& e, const QString& suffix);
    // A cell that cannot be changed was typed into: the status bar says why.
    void ExplainReadOnly(const QModelIndex& index);

    RecordsetModel* model_ = nullptr;
    bool closing_ = false;      // DoClose is unloading the window
    bool syncing_ = false;      // the grid is following the recordset
};
