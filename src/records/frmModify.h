#pragma once
// Modify: rewrites the statement behind a query grid and opens the grid again
// with it.
#include <QDialog>

class ClauseBuilder;
class QPlainTextEdit;
class QPushButton;
class frmGrid;

class frmModify : public QDialog {
    Q_OBJECT
public:
    explicit frmModify(QWidget* owner = nullptr);

    QPlainTextEdit* txtSelect = nullptr;
    ClauseBuilder* builder = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void cmdSet_Click();
    void cmdClose_Click();

private:
    frmGrid* grid_ = nullptr;
};
