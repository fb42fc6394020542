#pragma once
// The database window: the twelve work areas, the current grid, and the
// buttons that open, close, refresh and set up grids.
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QVariant>
#include <QWidget>

class ClassRelation;
class QListWidget;
class QPushButton;
class QTreeWidget;
class frmGrid;

class frmView : public QWidget {
    Q_OBJECT
public:
    explicit frmView(QWidget* parent = nullptr);

    // Controls, in form order.
    QTreeWidget* TreeViewRelations = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdSQL = nullptr;
    QPushButton* cmdSetup = nullptr;
    QPushButton* cmdRelations = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdOpen = nullptr;
    QListWidget* lstTable = nullptr;

    // Public members, in order.
    short GridNO = -1;
    QPointer<frmGrid> CGrid;
    QPointer<frmGrid> ParentGrid;
    QPointer<frmGrid> ChildGrid;
    QVariant RelationsSetting;
    bool AppendLoaded = false;
    QList<frmGrid*> colSubRelations;

    void UpdateOpen(const QVariant& DBasePath, const QVariant& RSDescription, const QVariant& RSName,
                    const QVariant& RSType);
    void UpdateClose();
    void lstTable_Click();

    void Form_Load();
    void Form_Activate();
    void cmdOpen_Click();
    void cmdClose_Click();
    void cmdRefresh_Click();
    void cmdSQL_Click();
    void cmdSetup_Click();
    void cmdRelations_Click();

    // Defining a relation (the Relations button, then a pick of the child's line).
    void CheckforCyclic(bool& refused);
    void CheckforIndex(bool& usable);
    void BuildChildCollection(ClassRelation* relation);
    void TreeViewRelations_MouseDown(Qt::MouseButton button, QPoint at);
    // The position of the tree's selected node (0 when none).
    int SelectedRelationNode() const;

    // Closes the grid of a slot that is being refilled: relations naming it go
    // and it stops being the current grid; the line keeps its text.
    void ReleaseSlot(int slot);
    // Selects a work-area line, which runs the selection handling.
    void SelectLine(int slot);
    // A grid window closing from its frame: clean up as Close does (the window
    // closes itself). Returns false when the grid is not in a work area.
    bool CloseGridFromFrame(frmGrid* grid);

    // The line of an empty work area: "           -1-       ".
    static QString Placeholder(int slot);

private:
    void setGridButtons(bool enabled);
    void closeSlot(int slot, bool windowClosing);
    void dropRelationsTo(frmGrid* closing);
    void PickChild();
};
