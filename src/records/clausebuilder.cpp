#include "records/clausebuilder.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "shell/prompts.h"

namespace {

// A sorted list keeps its items in case-insensitive order whatever the order they come in.
void addSorted(QComboBox* combo, const QString& item) {
    int at = 0;
    while (at < combo->count() && QString::compare(combo->itemText(at), item, Qt::CaseInsensitive) <= 0) ++at;
    combo->insertItem(at, item);
}

void addAll(QComboBox* combo, std::initializer_list<const char*> items) {
    const QString caption = combo->currentText();
    for (const char* item : items) addSorted(combo, QString::fromLatin1(item));
    combo->setCurrentIndex(-1);
    combo->setEditText(caption);
}

QComboBox* combo(QWidget* dialog, const char* name, const char* caption) {
    auto* c = new QComboBox(dialog);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setEditText(caption);
    return c;
}

}  // namespace

namespace LoadUpdateCombos {

void LoadWhereCombos(QComboBox* ComboString, QComboBox* ComboLogical, QComboBox* ComboMath) {
    addAll(ComboString, {"CStr(exp)", "Trim()", "RTrim()", "LTrim()", "Right(str,len)", "Left(str,len)", "Len()",
                         "InStr([st,]s1,s2)", "Mid(str,start[,len])", "Like'*str'"});
    addAll(ComboLogical, {"Left Join", "Right Join", "Inner Join", "Outer Join", "Between x And y", "=", "<", ">",
                          "<=", ">=", "<>", "AND", "OR", "Null", "IsNull()", "Not"});
    addAll(ComboMath, {"Format(exp,format)", "=", "<>", "+", "/", "-", "*", "Abs()", "num^exp", "Sqr(n1)",
                       "n1 Mod n2", "Val(str)", "#Date#", "CInt()", "CCur()"});
}

void LoadSelectCombos(QComboBox* ComboString, QComboBox* ComboLogical, QComboBox* ComboMath) {
    addAll(ComboString, {"CStr(exp)", "As", "Distinct", "Union", "Trim()", "RTrim()", "LTrim()", "Right(str,len)",
                         "Left(str,len)", "Len()", "InStr([st,]s1,s2)", "Mid(str,start[,len])", "Like '*str'"});
    addAll(ComboLogical, {"Left Join", "Right Join", "Inner Join", "Outer Join", "Between x And y", "=", "<", ">",
                          "<=", ">=", "<>", "AND", "OR", "Null", "IsNull()", "Not", "In", "Not In"});
    addAll(ComboMath, {"Format(exp,format)", "=", "<>", "+", "/", "-", "*", "Abs()", "num^exp", "Sqr(n1)",
                       "n1 Mod n2", "Val(str)", "AVG()", "COUNT()", "SUM()", "#Date#", "MAX()", "MIN()", "CCur()",
                       "CDbl()", "CInt()", "CLng()", "CSng()", "CStr()", "Cos()", "Sin()", "Tan()", "StDev()",
                       "StDevp()", "Var()", "VarP()"});
}

}  // namespace LoadUpdateCombos

ClauseBuilder::ClauseBuilder(QWidget* dialog, Set set) : QObject(dialog) {
    ComboFields = combo(dialog, "ComboFields", "Fields");
    ComboString = combo(dialog, "ComboString", "String");
    ComboLogical = combo(dialog, "ComboLogical", "Logical");
    ComboMath = combo(dialog, "ComboMath", "Math/Date");
    if (set == Set::Where) LoadUpdateCombos::LoadWhereCombos(ComboString, ComboLogical, ComboMath);
    else LoadUpdateCombos::LoadSelectCombos(ComboString, ComboLogical, ComboMath);
    // A pick from the list, not typing in the edit portion.
    connect(ComboFields, &QComboBox::activated, this, &ClauseBuilder::ComboFields_Click);
    connect(ComboString, &QComboBox::activated, this, &ClauseBuilder::ComboString_Click);
    connect(ComboLogical, &QComboBox::activated, this, &ClauseBuilder::ComboLogical_Click);
    connect(ComboMath, &QComboBox::activated, this, &ClauseBuilder::ComboMath_Click);
}

void ClauseBuilder::LoadFields(const QStringList& names) {
    const QString caption = ComboFields->currentText();
    ComboFields->addItems(names);
    ComboFields->setCurrentIndex(-1);
    ComboFields->setEditText(caption);
}

void ClauseBuilder::WriteText(const QString& item) {
    QPlainTextEdit* box = target ? target() : nullptr;
    if (!box) return;
    box->textCursor().insertText(item + " ");
    box->setFocus();
    if (!item.endsWith(')')) return;
    QString text = box->toPlainText();
    while (text.endsWith(' ')) text.chop(1);
    const int first = text.indexOf(item, 0, Qt::CaseSensitive);
    if (first < 0) return;
    QTextCursor caret = box->textCursor();
    caret.setPosition(first + static_cast<int>(item.size()) - 1);
    box->setTextCursor(caret);
}

void ClauseBuilder::ComboFields_Click() {
    QString name = ComboFields->currentText();
    if (fieldText) return WriteText(fieldText(name));
    if (name.trimmed().contains(' ')) name = "[" + name + "]";
    WriteText(name.trimmed());
}

void ClauseBuilder::ComboString_Click() { WriteText(ComboString->currentText()); }

void ClauseBuilder::ComboLogical_Click() {
    if (logicalAllowed && !logicalAllowed()) {
        Prompts::message("The Where text box is not selected.", "Error", Prompts::Icon::Exclamation);
        return;
    }
    WriteText(ComboLogical->currentText());
}

void ClauseBuilder::ComboMath_Click() { WriteText(ComboMath->currentText()); }
