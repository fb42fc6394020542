#pragma once
// The index editor: lists the indexes of the current grid's table, creates,
// replaces and deletes them, and sets the index that orders the grid. A change
// to the table closes the grid window, changes the table through a connection
// of its own, and opens the grid again at the same place.
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <array>
#include <memory>
#include <vector>

#include "engine/dao.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmIndexes : public QDialog {
    Q_OBJECT
public:
    explicit frmIndexes(QWidget* parent = nullptr);
    ~frmIndexes() override;

    // Controls: the existing indexes...
    QGroupBox* frameIndexes = nullptr;
    QListWidget* lstIndexes = nullptr;
    QListWidget* lstDescrption = nullptr;
    QCheckBox* chkIsPrimary = nullptr;
    QCheckBox* chkIsUnique = nullptr;
    QCheckBox* chkIsIgnoreNulls = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdModify = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdClose = nullptr;
    // ...and the creation area.
    QGroupBox* frameCreate = nullptr;
    QLineEdit* txtIDXName = nullptr;
    QListWidget* lstFields = nullptr;
    QListWidget* lstIndexfield = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QGroupBox* frameOrder = nullptr;
    std::array<QRadioButton*, 2> optASC{};  // 0 "ASC", 1 "DESC"
    QCheckBox* chkPrimary = nullptr;
    QCheckBox* chkUnique = nullptr;
    QCheckBox* chkIgnoreNulls = nullptr;
    QPushButton* cmdCreateIndex = nullptr;

    // False when the table could not be read; the dialog is then not shown.
    bool Form_Load();
    void LoadFields();
    void LoadIndexes();
    void CheckforSetIndex();
    void ClearBoxes();
    void SerializeGrid();

    void lstIndexes_Click();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdCreateIndex_Click();
    void cmdDelete_Click();
    void cmdModify_Click();
    void cmdSet_Click();
    void cmdClose_Click();

    // A field entry is "name  ASC": the name is what stands before the last
    // two blanks, the order what follows them.
    static QString GetFieldName(const QString& entry);
    static QString GetOrder(const QString& entry);

    // The grid window being worked on (replaced after each change) and the table.
    frmGrid* Grid() const;
    const QString& TableName() const { return tableName_; }

private:
    // The grid's definition and rectangle, recorded before it is closed.
    struct GridDefinition {
        QString DBPath;
        QVariant source, statusname, RSetType, TableName;
        double left = 0, top = 0, width = 0, height = 0;
        int slot = -1;
    };

    engine::TableDef& table() const;
    QString selectedIndexName() const;
    bool requireSelectedIndex();
    QString currentGridIndex() const;
    // Sets the grid recordset's order; "" is natural order. The grid redraws.
    void setGridIndex(const QString& name);
    void closeGrid();
    void reopenGrid();
    void selectIndexEntry(const QString& name);
    void showError(const engine::Error& e);

    QPointer<frmGrid> grid_;
    std::shared_ptr<engine::Database> dbase;
    QString tableName_;
    GridDefinition saved_;
    bool nameBuilt_ = true;  // txtIDXName holds what the chosen fields built, not a typed name
};
