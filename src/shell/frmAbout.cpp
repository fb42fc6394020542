#include "shell/frmAbout.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QStyle>

#include "shell/version.h"

namespace {
QPointer<frmAbout> theWindow;
}

frmAbout* frmAbout::ShowAbout() {
    if (!theWindow) {
        theWindow = new frmAbout;
        theWindow->Form_Load();
    }
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return theWindow;
}

QString frmAbout::VersionText() {
    return QStringLiteral("Version %1.%2.%3").arg(Version::Major).arg(Version::Minor).arg(Version::Revision);
}

frmAbout::frmAbout() {
    setObjectName("frmAbout");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("About Ledgerly");
    auto label = [this](QLabel*& l, const char* name, const QString& text = {}) {
        l = new QLabel(text, this);
        l->setObjectName(name);
    };
    label(picIcon, "picIcon");
    label(lblTitle, "lblTitle");
    label(lblVersion, "lblVersion");
    label(LabelLegal, "LabelLegal", "Legal:");
    label(lblDisclaimer, "lblDisclaimer");
    lblDisclaimer->setWordWrap(true);
    QFont title = lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.5);
    title.setBold(true);
    lblTitle->setFont(title);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    picIcon->setPixmap(icon.pixmap(48, 48));

    auto* layout = new QGridLayout(this);
    layout->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(lblTitle, 0, 1);
    layout->addWidget(lblVersion, 1, 1);
    layout->addWidget(LabelLegal, 2, 0, Qt::AlignTop);
    layout->addWidget(lblDisclaimer, 2, 1);
    layout->setColumnStretch(1, 1);
    resize(420, 180);
}

void frmAbout::Form_Load() {
    lblVersion->setText(VersionText());
    lblTitle->setText("Ledgerly");
    lblDisclaimer->setText("Ledgerly is distributed as it is, without warranty of any kind, express or implied.");
}
