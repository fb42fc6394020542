#pragma once
// Append from Table: appends the records of a table open in one grid window
// into the table of the current grid, through the fields both have (same name,
// same type), by one INSERT … SELECT on the destination's database. A source
// in another database object is reached through a temporary link "KORVA" +
// its name, removed again however the append ends.
#include <QDialog>

#include <array>
#include <vector>

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

// A field both tables have.
struct CommonFieldsClass {
    QString Fname;
    bool FIsText = false;
    short FLength = 0;  // Text: the smaller of the two sizes
};

class frmAppendTable : public QDialog {
    Q_OBJECT
public:
    explicit frmAppendTable(QWidget* owner = nullptr);

    QListWidget* lstTable = nullptr;
    std::array<QRadioButton*, 2> optScope{};  // All, Where
    QPlainTextEdit* txtWhere = nullptr;
    QPushButton* cmdAppend = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void optScope_Click();
    void lstTable_Click();
    void cmdAppend_Click();
    void cmdCancel_Click();

    std::vector<CommonFieldsClass> ColFields;

private:
    // Runs the append; false when it was refused (the message is shown).
    bool append();

    frmGrid* DestinationGrid = nullptr;
    frmGrid* SourceGrid = nullptr;
};
