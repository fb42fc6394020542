#pragma once
// The about box: the program's name, its version from the build and a
// one-sentence distribution notice. One window, shown again when asked twice.
#include <QWidget>

class QLabel;

class frmAbout : public QWidget {
    Q_OBJECT
public:
    // Shows the one about box, creating it when there is none.
    static frmAbout* ShowAbout();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* LabelLegal = nullptr;
    QLabel* lblDisclaimer = nullptr;

    void Form_Load();
    // "Version major.minor.revision".
    static QString VersionText();

private:
    frmAbout();
};
