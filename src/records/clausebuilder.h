#pragma once
// The where-clause builder of the record dialogs: four drop-down combos of
// field names, string functions, logical keywords and math/date items. A pick
// is written into the dialog's text box at the caret. The item lists are the
// same on every dialog: the where set or the select set.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QPlainTextEdit;
class QWidget;

namespace LoadUpdateCombos {
// Appends the where set (Find, Delete, Update Table) or the select set
// (query builder, Modify, Statistics) to the three fixed combos.
void LoadWhereCombos(QComboBox* ComboString, QComboBox* ComboLogical, QComboBox* ComboMath);
void LoadSelectCombos(QComboBox* ComboString, QComboBox* ComboLogical, QComboBox* ComboMath);
}  // namespace LoadUpdateCombos

class ClauseBuilder : public QObject {
    Q_OBJECT
public:
    enum class Set { Where, Select };
    // Makes the four combos as children of `dialog` (named as the dialogs name them)
    // and fills the fixed ones with `set`.
    ClauseBuilder(QWidget* dialog, Set set);

    QComboBox* ComboFields = nullptr;
    QComboBox* ComboString = nullptr;
    QComboBox* ComboLogical = nullptr;
    QComboBox* ComboMath = nullptr;

    // The box picks are written into; nullptr writes nothing.
    std::function<QPlainTextEdit*()> target;
    // What a field pick writes; unset: the name, bracketed when it holds a blank.
    std::function<QString(const QString& item)> fieldText;
    // Update Table takes Logical picks into its Where box only: false refuses one.
    std::function<bool()> logicalAllowed;

    // The four combos in their order on the dialogs.
    QList<QComboBox*> Combos() const { return {ComboFields, ComboString, ComboLogical, ComboMath}; }
    // Appends field names to ComboFields, in the order given.
    void LoadFields(const QStringList& names);
    // Writes `item` and a blank at the caret (over any selection); for an item
    // ending in ")" the caret goes before the ")" of its first occurrence.
    void WriteText(const QString& item);

    void ComboFields_Click();
    void ComboString_Click();
    void ComboLogical_Click();
    void ComboMath_Click();
};
