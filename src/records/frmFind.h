#pragma once
// Find: moves the current grid to the first, last, next or previous record
// that matches a condition typed or built with the where-clause builder.
#include <QDialog>

#include <array>
#include <string>

class ClauseBuilder;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(QWidget* owner = nullptr);

    QPlainTextEdit* txtWhere = nullptr;
    ClauseBuilder* builder = nullptr;  // ComboFields, ComboString, ComboLogical, ComboMath
    std::array<QRadioButton*, 4> optFind{};  // First, Last, Next, Previous
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void cmdFind_Click();
    void cmdCancel_Click();

private:
    frmGrid* grid_ = nullptr;
    std::string savedBookmark_;
};
