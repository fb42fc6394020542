#pragma once
// Copy to Text: writes chosen fields of the current grid's records to a text
// file, one line per record: all of them, the rest from the current record,
// the next n, or those meeting a where condition. The fixed-width layout pads
// each value with blanks to its field's size (the layout Append from Text
// reads back); CSV writes a header line of the field names and quoted values.
#include <QDialog>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;
namespace engine {
class Recordset;
namespace textrecords {
class Writer;
}
}  // namespace engine

class frmCopytoText : public QDialog {
    Q_OBJECT
public:
    explicit frmCopytoText(QWidget* owner = nullptr);

    QListWidget* lstFields = nullptr;      // fields not chosen
    QListWidget* lstCopyFields = nullptr;  // fields to copy, in column order
    QPushButton *cmdAdd = nullptr, *cmdRemove = nullptr, *cmdAddAll = nullptr, *cmdRemoveAll = nullptr;
    std::array<QRadioButton*, 4> optScope{};   // 0 All, 1 Next, 2 Rest, 3 Where
    std::array<QRadioButton*, 2> optFormat{};  // 0 fixed width, 1 CSV
    QLineEdit* txtRestNumber = nullptr;
    QPlainTextEdit* txtWhere = nullptr;
    QLabel* lblFile = nullptr;  // the file chosen with Save As
    QPushButton* cmdSaveAs = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void optScope_Click();
    void LoadFields();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdAddAll_Click();
    void cmdRemoveAll_Click();
    void cmdSaveAs_Click();
    void cmdCopy_Click();
    void cmdCancel_Click();

    QString OutputFile;  // empty until Save As gave one

private:
    struct Column {
        std::string name;
        int width = 0;  // the field's size in the grid's recordset
        int source = 0;  // its place in the rows written
    };
    void FileSave();
    void CopyRecords(engine::textrecords::Writer& out);
    // Writes the rows at positions [first, end) of `rs`; the statement's
    // "Where" runs pass their own recordset.
    void WriteRows(engine::Recordset& rs, long first, long end, engine::textrecords::Writer& out);
    // Where the chosen fields are in the rows of `rs`.
    void PlaceColumns(engine::Recordset& rs);
    QString WhereStatement(const QString& condition) const;

    frmGrid* CurrentGrid = nullptr;
    std::vector<Column> columns_;
    long counter_ = 0;
};
