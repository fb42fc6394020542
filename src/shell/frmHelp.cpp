#include "shell/frmHelp.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/prompts.h"

namespace {
QPointer<frmHelp> theWindow;
}

frmHelp* frmHelp::ShowGuide(const QString& page) {
    if (!theWindow) theWindow = new frmHelp(page);
    theWindow->txtGuide->setSource(QUrl::fromLocalFile(page));
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return theWindow;
}

frmHelp::frmHelp(const QString& home) : home_(home) {
    setObjectName("frmHelp");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Prompts::kAppTitle + " Help");
    auto tool = [this](QToolButton*& b, const char* name, const QString& text) {
        b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    };
    tool(cmdBack, "cmdBack", "&Back");
    tool(cmdForward, "cmdForward", "&Forward");
    tool(cmdContents, "cmdContents", "&Contents");
    txtGuide = new QTextBrowser(this);
    txtGuide->setObjectName("txtGuide");
    txtGuide->setOpenExternalLinks(true);  // pages on the web go to the desktop's browser
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addWidget(cmdContents);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(txtGuide);
    connect(cmdBack, &QToolButton::clicked, this, &frmHelp::cmdBack_Click);
    connect(cmdForward, &QToolButton::clicked, this, &frmHelp::cmdForward_Click);
    connect(cmdContents, &QToolButton::clicked, this, &frmHelp::cmdContents_Click);
    connect(txtGuide, &QTextBrowser::historyChanged, this, &frmHelp::UpdateButtons);
    resize(720, 560);
    UpdateButtons();
}

void frmHelp::cmdBack_Click() { txtGuide->backward(); }
void frmHelp::cmdForward_Click() { txtGuide->forward(); }
void frmHelp::cmdContents_Click() { txtGuide->setSource(QUrl::fromLocalFile(home_)); }

void frmHelp::UpdateButtons() {
    cmdBack->setEnabled(txtGuide->isBackwardAvailable());
    cmdForward->setEnabled(txtGuide->isForwardAvailable());
}
