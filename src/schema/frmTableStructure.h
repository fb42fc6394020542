#pragma once
// Table Structure: lists the fields of a table of any database file chosen
// here, through rows written to "TempTableStructure" in the scratch database
// and a grid bound to them, and adds or deletes fields of that table.
#include <QDialog>

#include <memory>

#include "engine/dao.h"

class DataControl;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class RecordsetModel;

class frmTableStructure : public QDialog {
    Q_OBJECT
public:
    explicit frmTableStructure(QWidget* owner = nullptr);
    ~frmTableStructure() override;

    QListWidget* lstTables = nullptr;
    QPushButton* cmdChooseDatabase = nullptr;
    DataControl* Data1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLineEdit* txtFieldName = nullptr;
    QComboBox* ComboFieldTypes = nullptr;
    QLineEdit* txtSize = nullptr;
    QComboBox* ComboRequired = nullptr;
    QComboBox* ComboAllowZeroLength = nullptr;
    QPushButton* cmdAdd = nullptr;

    void Form_Load();
    void cmdChooseDatabase_Click();
    void lstTables_Click();
    void ComboFieldTypes_Click();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();

private:
    void LoadLists();
    QString FileOpen();
    void MakeTempTable();
    void DoUpdate();
    int GetTypeNumber(const QString& type) const;

    std::shared_ptr<engine::Database> database_;  // the chosen file
    std::shared_ptr<engine::Database> scratch_;
    std::shared_ptr<engine::Recordset> listing_;  // "TempTableStructure"
    RecordsetModel* model_ = nullptr;
};
