// The File commands of the main window that work on document windows: New,
// Open, Close, Save, Save As, Page Setup and Print.
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QTextCursor>
#include <QTextEdit>

#include <optional>

#include "shell/frmDocument.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"

namespace {

using Format = frmDocument::Format;

// Save writes the format the file's name says; a name that says neither keeps
// the format the document was read in.
std::optional<Format> formatOfName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "txt") return Format::PlainText;
    if (suffix == "rtf") return Format::Rtf;
    return std::nullopt;
}

}  // namespace

const QString frmMain::DocumentFilter = QStringLiteral("Text and RTF (*.txt *.rtf);;All Files (*)");

frmDocument* frmMain::ActiveDocument() const {
    QMdiSubWindow* sub = mdiArea->activeSubWindow();
    if (!sub) sub = mdiArea->currentSubWindow();
    return sub ? qobject_cast<frmDocument*>(sub->widget()) : nullptr;
}

QPrinter& frmMain::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void frmMain::NewDocument() {
    ++documentCounter_;
    auto* doc = new frmDocument;
    LastDocument = doc;
    doc->setWindowTitle(QStringLiteral("Document %1").arg(documentCounter_));
    QMdiSubWindow* sub = mdiArea->addSubWindow(doc);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    doc->Form_Load();
    sub->show();
    mdiArea->setActiveSubWindow(sub);
    doc->rtfText->setFocus();
}

void frmMain::mnuFileNew_Click() { NewDocument(); }

void frmMain::mnuFileOpen_Click() {
    std::optional<QString> name = Prompts::openFile("Open", DocumentFilter);
    if (!name || name->isEmpty()) return;
    NewDocument();
    frmDocument* doc = LastDocument;
    if (doc && doc->LoadFile(*name)) doc->setWindowTitle(QFileInfo(*name).absoluteFilePath());
}

void frmMain::mnuFileClose_Click() {
    if (frmDocument* doc = ActiveDocument()) doc->CloseForm();
}

// A document that has no file yet ("Document n") asks for a name each time;
// one read from or saved to a file goes back to that file.
void frmMain::mnuFileSave_Click() {
    frmDocument* doc = ActiveDocument();
    if (!doc) return;
    const QString caption = doc->windowTitle();
    if (caption.left(8) == "Document") {
        std::optional<QString> name = Prompts::saveFile("Save", DocumentFilter);
        if (!name || name->isEmpty()) return;
        doc->SaveFile(*name, formatOfName(*name).value_or(Format::Rtf));
        return;
    }
    doc->SaveFile(caption, formatOfName(caption).value_or(doc->FileFormat));
}

// The last three characters of the name, trimmed, choose the format: "txt"
// plain text, "rtf" rich text; any other name is refused. The caption becomes
// the file once it is written.
void frmMain::mnuFileSaveAs_Click() {
    frmDocument* doc = ActiveDocument();
    if (!doc) return;
    std::optional<QString> name = Prompts::saveFile("Save As", DocumentFilter);
    if (!name || name->isEmpty()) return;
    const QString ending = name->right(3).trimmed().toLower();
    Format format;
    if (ending == "txt") format = Format::PlainText;
    else if (ending == "rtf") format = Format::Rtf;
    else {
        Prompts::message("The document was not saved: its name must end in .txt or .rtf.", "Error",
                         Prompts::Icon::Exclamation);
        return;
    }
    if (!doc->SaveFile(*name, format)) return;
    doc->FileFormat = format;
    doc->setWindowTitle(*name);
}

void frmMain::mnuFilePageSetup_Click() { Prompts::pageSetup(Printer(), "Page Setup"); }

// Prints the active document on the printer (or file) chosen in the dialog;
// with a selection the dialog offers printing that alone.
void frmMain::mnuFilePrint_Click() {
    frmDocument* doc = ActiveDocument();
    if (!doc) return;
    QPrinter& printer = Printer();
    printer.setPrintRange(QPrinter::AllPages);
    const bool selection = doc->rtfText->textCursor().hasSelection();
    if (!Prompts::print(printer, "Print", selection)) return;
    doc->Print(printer);
    if (printer.printerState() == QPrinter::Error) {
        const QString target = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        Prompts::message("The document could not be printed to " + target + ".");
    }
}
