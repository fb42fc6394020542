#pragma once
// Delete: removes all records of the current grid's table, the next N records
// from its current record, or the records that meet a condition built with
// the where-clause builder. Progress and the count go to the status bar.
#include <QDialog>

#include <array>

class ClauseBuilder;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmDelete : public QDialog {
    Q_OBJECT
public:
    explicit frmDelete(QWidget* owner = nullptr);

    // 0 All, 1 Next, 3 Where; there is no 2.
    std::array<QRadioButton*, 4> optScope{};
    QLineEdit* txtRestNumber = nullptr;
    QLabel* lblWhere = nullptr;
    QPlainTextEdit* txtWhere = nullptr;
    ClauseBuilder* builder = nullptr;  // ComboFields, ComboString, ComboLogical, ComboMath
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void optScope_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();

private:
    // One statement for All and Where; true when it ran.
    bool DeleteBySql(const QString& statement);
    // Record by record from the grid's current record; true when all went well.
    bool DeleteNext();

    frmGrid* grid_ = nullptr;
};
