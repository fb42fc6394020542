#pragma once
// Append Text: appends the lines of a text file as new records to the table
// of the current grid. A fixed-width line is cut into columns as wide as the
// sizes of the table's fields, in definition order; a CSV file (its name ends
// in .csv, or CSV is chosen) gives its values to the fields its header line
// names. The engine converts each value to its field's type. All lines of a
// run are one transaction; what came in before an error stays.
#include <QDialog>

#include <array>

class QLabel;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmAppendText : public QDialog {
    Q_OBJECT
public:
    explicit frmAppendText(QWidget* owner = nullptr);

    QLabel* lblFile = nullptr;  // the file chosen with Append From
    std::array<QRadioButton*, 2> optFormat{};  // 0 fixed width, 1 CSV
    QPushButton* cmdAppendFrom = nullptr;
    QPushButton* cmdAppend = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void cmdAppendFrom_Click();
    void cmdAppend_Click();
    void cmdCancel_Click();

    QString InputFile;  // empty until Append From gave one

private:
    void FileOpen();
    // Appends the file's records, counting them in `counter`.
    void AppendRecords(long& counter);
    void ReportCount(long counter);

    frmGrid* CurrentGrid = nullptr;
};
