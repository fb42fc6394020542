#pragma once
// Statistics: a select statement over the current grid's table or query,
// completed with the builder's select set (its aggregates), run into the
// statistics result window.
#include <QDialog>

class ClauseBuilder;
class QPlainTextEdit;
class QPushButton;
class frmGrid;
class frmStatisticsGrid1;

class frmStatistics : public QDialog {
    Q_OBJECT
public:
    // `result` is the window the statement is run into; it outlives the dialog.
    frmStatistics(frmStatisticsGrid1& result, QWidget* owner = nullptr);

    QPlainTextEdit* txtSelect = nullptr;
    ClauseBuilder* builder = nullptr;  // ComboFields, ComboString, ComboLogical, ComboMath
    QPushButton* cmdSet = nullptr;     // "Run"
    QPushButton* cmdClose = nullptr;

    // False, after saying why, when the grid's database or fields cannot be read.
    bool Form_Load();
    void cmdSet_Click();
    void cmdClose_Click();
    void LoadFields(frmGrid* grid);

    // The statement with a comma that ends its column list (before From, or at
    // the very end) taken out.
    static QString DropTrailingComma(const QString& statement);

private:
    frmStatisticsGrid1& result_;
    frmGrid* grid_ = nullptr;
};
