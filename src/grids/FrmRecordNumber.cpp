#include "grids/FrmRecordNumber.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/getgrid.h"
#include "shell/prompts.h"
#include "shell/twips.h"

FrmRecordNumber::FrmRecordNumber(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmRecordNumber");
    setWindowTitle("Record Number");
    LabelRecordNumber = new QLabel("Enter the record number to move to.", this);
    LabelRecordNumber->setObjectName("LabelRecordNumber");
    TextREcordNumber = new QLineEdit(this);
    TextREcordNumber->setObjectName("TextREcordNumber");
    LabelRecordNumber->setBuddy(TextREcordNumber);
    CommandOK = new QPushButton("OK", this);
    CommandOK->setObjectName("CommandOK");
    CommandOK->setDefault(true);  // Enter in the text box moves
    CommandCancel = new QPushButton("Cancel", this);
    CommandCancel->setObjectName("CommandCancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CommandOK);
    buttons->addWidget(CommandCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelRecordNumber);
    layout->addWidget(TextREcordNumber);
    layout->addLayout(buttons);

    connect(CommandOK, &QPushButton::clicked, this, &FrmRecordNumber::CommandOK_Click);
    connect(CommandCancel, &QPushButton::clicked, this, &FrmRecordNumber::CommandCancel_Click);
    Form_Load();
}

void FrmRecordNumber::Form_Load() {
    move(Twips::toPixelsX(500), Twips::toPixelsY(1500));
    TextREcordNumber->setFocus();
}

void FrmRecordNumber::CommandOK_Click() {
    // The grid of the line selected in the database window, not the window
    // that happens to have the focus.
    if (frmGrid* grid = GetGrid::GetGridWindow(moduleCreateGrid::CurrentWA))
        grid->GotoRecordNumber(TextREcordNumber->text());
    else
        Prompts::message("No grid window is open in the selected work area.");
    done(QDialog::Accepted);
}

void FrmRecordNumber::CommandCancel_Click() { done(QDialog::Rejected); }
