#pragma once
// The parts the query windows share: the statement box in a fixed-pitch font
// and the Test and Save buttons with their tool tips.
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>

namespace QueryWidgets {

inline QPlainTextEdit* StatementBox(QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName("txtSelect");
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::TypeWriter);
    box->setFont(fixed);
    return box;
}

inline QPushButton* TestButton(QWidget* parent) {
    auto* b = new QPushButton("Test", parent);
    b->setObjectName("cmdTest");
    b->setToolTip("Runs the SQL but does not save changes to the SQL to the Database");
    return b;
}

inline QPushButton* SaveButton(QWidget* parent) {
    auto* b = new QPushButton("Save", parent);
    b->setObjectName("cmdSave");
    b->setToolTip("Saves the SQL to the Database if the recordset was opened as a SQL overwriting the opened SQL");
    return b;
}

}  // namespace QueryWidgets
