#pragma once
// The statistics result: the recordset of one aggregate statement composed in
// the Statistics dialog, shown read-only in a modal window. It has the grid
// window's members but no work area, relations or menu state.
#include <QDialog>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

#include "engine/dao.h"

class ClassRelation;
class DataControl;
class QTableView;
class RecordsetModel;

class frmStatisticsGrid1 : public QDialog {
    Q_OBJECT
public:
    explicit frmStatisticsGrid1(QWidget* owner = nullptr);
    ~frmStatisticsGrid1() override;

    // Public members, as the grid window's; this window uses db1, rs1,
    // OriginalRSSource, statusname, successful, columnwidth and NumCols.
    std::shared_ptr<engine::Database> db1;
    std::shared_ptr<engine::Recordset> rs1;
    QList<ClassRelation*> ColRelations;
    QVariant RSetType;
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
    QVariant successful;
    QVariant isFiltered, FoundChild;
    QVariant GotReSQLed;
    QVariant HasParent;
    bool IsaLinkedTable = false;
    QVariant PreviousRow;
    QVariant RepositionBM;
    QVariant columnwidth;
    int NumCols = 0;

    // Controls.
    DataControl* Data1 = nullptr;
    QTableView* DBGrid1 = nullptr;

    // Opens OriginalRSSource as it is and shows it; the value of successful.
    bool NeedsRefresh();

    void Form_Load();
    void Form_Resize();
    void Form_Deactivate() {}

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    RecordsetModel* model_ = nullptr;
};
