#pragma once
// Update Table: sets one field of many records of the current grid to a value
// or expression: all records or those meeting a condition through one
// statement, or the next N records one by one, each value computed from a
// copy of its record in the scratch database.
#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dao.h"

class ClauseBuilder;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmUpdateTable : public QDialog {
    Q_OBJECT
public:
    explicit frmUpdateTable(QWidget* owner = nullptr);
    ~frmUpdateTable() override;

    // The checks the Update Table command makes before the dialog opens.
    static bool CanUpdate(frmGrid* grid);

    QListWidget* lstFields = nullptr;
    QLabel* lblSet = nullptr;
    QPlainTextEdit* TextWith = nullptr;
    std::array<QRadioButton*, 4> optScope{};  // 0 All, 1 Next, 3 Where (no 2)
    QLineEdit* txtRestNumber = nullptr;
    QPlainTextEdit* txtWhere = nullptr;
    ClauseBuilder* builder = nullptr;
    QPushButton* cmdReplace = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void cmdReplace_Click();
    void cmdCancel_Click();
    void lstFields_Click();
    void optScope_Click();
    // The value of the "with" expression for the source's current record.
    engine::Variant CalculateValue(engine::Recordset& source);
    void DeleteTempTable();
    bool CheckforUpdateable(engine::Recordset& rs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void replaceAllOrWhere(bool where);
    bool replaceNext();
    void status(const QString& text);

    frmGrid* grid_ = nullptr;
    QString activeBox_;        // "TextWith" or "txtWhere": where builder picks go
    QString scratchField_;     // the chosen field's name in the scratch table
    // The fields whose names the expression holds, for the expression they
    // were found in: only those are copied to the scratch row (no other can
    // change the value).
    QString mentionedFor_;
    std::vector<std::pair<std::string, std::string>> mentioned_;  // grid field, scratch field
    std::shared_ptr<engine::Database> scratch_;
    std::shared_ptr<engine::Recordset> scratchRows_;
    QString lastStatement_;
    bool success_ = false;
    bool unloaded_ = false;
};
