#pragma once
// Query Builder: composes a select statement for a database file chosen here
// from its tables, their fields and the select set of the clause builder,
// tests it by opening it and saves it as a named query.
#include <QWidget>

#include <array>
#include <memory>

#include "engine/dao.h"

class ClauseBuilder;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmMakeQuery : public QWidget {
    Q_OBJECT
public:
    explicit frmMakeQuery(QWidget* parent = nullptr);
    ~frmMakeQuery() override;

    QPushButton* cmdChooseDatabase = nullptr;
    QListWidget* lstTables = nullptr;
    std::array<QRadioButton*, 2> OptionTableNames{};  // 0 common fields only, 1 always
    ClauseBuilder* builder = nullptr;  // comboFields, ComboString, ComboLogical, ComboMath
    QPlainTextEdit* txtSelect = nullptr;
    QLineEdit* txtQueryName = nullptr;
    QPushButton *cmdTest = nullptr, *cmdSave = nullptr, *cmdClose = nullptr;

    void Form_Load();
    void cmdChooseDatabase_Click();
    void lstTables_Click(int row);
    void lstTables_LostFocus();
    void txtSelect_Change();
    void cmdTest_Click();
    void cmdSave_Click();
    void cmdClose_Click();

    std::shared_ptr<engine::Database> database;
    std::shared_ptr<engine::Recordset> rsTest;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a pick of the field item `item` writes: qualified or not.
    QString fieldPick(const QString& item) const;
};
