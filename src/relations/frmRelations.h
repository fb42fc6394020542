#pragma once
// Relation Builder: pairs the fields of a child grid with those of its parent
// and builds the relation record. A table child pairs its current index's
// fields; a query child pairs fields freely.
#include <QDialog>

#include <array>
#include <memory>

class ClassRelation;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class frmGrid;

class frmRelations : public QDialog {
    Q_OBJECT
public:
    frmRelations(frmGrid* parentGrid, frmGrid* childGrid, QWidget* owner = nullptr);
    ~frmRelations() override;

    // Public members, in order.
    std::unique_ptr<ClassRelation> NextRelation;  // built by Set
    bool IsSet = false;

    // Controls.
    QGroupBox* FrameChildIndex = nullptr;
    std::array<QLabel*, 3> lblField{};
    std::array<QComboBox*, 3> ComboIndexParentField{};
    QPushButton* cmdIndexSet = nullptr;
    QPushButton* cmdIndexClose = nullptr;
    QGroupBox* frameChildQuery = nullptr;
    std::array<QComboBox*, 3> comboChildField{};
    std::array<QComboBox*, 3> comboParentField{};
    QPushButton* cmdQuerySet = nullptr;
    QPushButton* cmdQueryClear = nullptr;
    QPushButton* cmdQueryClose = nullptr;

    void Form_Load();
    void LoadIndexFields();
    void LoadQueryFields();
    void SetChildIndex();
    void SetChildQuery();
    void cmdQueryClear_Click();
    void Close_Click();

private:
    void buildRelation(const QString& type, const std::array<QString, 3>& childFields,
                       const std::array<QComboBox*, 3>& parentCombos);
    frmGrid* parentGrid_;
    frmGrid* childGrid_;
};
