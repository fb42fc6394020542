#pragma once
// Update Table Join: fills a field of every record of the current grid from
// the matching record of a child table grid (or with a fixed value), when a
// child record is found or when one of its fields meets a comparison.
#include <QDialog>

#include <array>

class ClassRelation;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class frmGrid;

class frmUpdateTableJoin : public QDialog {
    Q_OBJECT
public:
    explicit frmUpdateTableJoin(QWidget* owner = nullptr);

    // The check the Update Table Join command makes: a child table grid is related.
    static bool HasChildTables(frmGrid* grid);

    QComboBox* ComboUpdateField = nullptr;
    QComboBox* ComboPickChild = nullptr;
    std::array<QRadioButton*, 2> OptionWith{};   // Field, Value
    QComboBox* ComboChildField = nullptr;
    QLineEdit* txtWithValue = nullptr;
    std::array<QRadioButton*, 3> OptionWhere{};  // [1] when a child record is found, [2] when a field compares
    QComboBox* ComboWhereFields = nullptr;
    QComboBox* ComboComparison = nullptr;
    QLineEdit* txtWhereValue = nullptr;
    QPushButton* cmdReplace = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void ComboPickChild_Click();
    void cmdReplace_Click();
    void cmdCancel_Click();

private:
    bool refused();
    bool meetsCondition() const;
    void DoUpdate();
    void finish();

    frmGrid* grid_ = nullptr;
    frmGrid* child_ = nullptr;
    short relationNo_ = 0;   // 1-based position of the chosen relation
    int destinationType_ = 0;
    int destinationSize_ = 0;
    long count_ = 0;
};
