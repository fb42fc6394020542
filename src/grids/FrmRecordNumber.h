#pragma once
// The record-number dialog: moves the current grid to a zero-based record
// number typed by the user.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class FrmRecordNumber : public QDialog {
    Q_OBJECT
public:
    explicit FrmRecordNumber(QWidget* parent = nullptr);

    // Controls.
    QLabel* LabelRecordNumber = nullptr;
    QLineEdit* TextREcordNumber = nullptr;
    QPushButton* CommandOK = nullptr;
    QPushButton* CommandCancel = nullptr;

    void Form_Load();
    // Moves the grid of the selected work area, then closes (also when the move failed).
    void CommandOK_Click();
    void CommandCancel_Click();
};
