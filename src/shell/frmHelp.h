#pragma once
// The user guide in a window of the program: a browser over the guide's HTML
// pages with Back, Forward and Contents, so help works without any outside viewer.
#include <QWidget>

class QTextBrowser;
class QToolButton;

class frmHelp : public QWidget {
    Q_OBJECT
public:
    // Shows `page` (a file of the guide) in the one help window, creating it when needed.
    static frmHelp* ShowGuide(const QString& page);

    QTextBrowser* txtGuide = nullptr;
    QToolButton* cmdBack = nullptr;
    QToolButton* cmdForward = nullptr;
    QToolButton* cmdContents = nullptr;

    void cmdBack_Click();
    void cmdForward_Click();
    void cmdContents_Click();

private:
    explicit frmHelp(const QString& home);
    void UpdateButtons();
    QString home_;
};
