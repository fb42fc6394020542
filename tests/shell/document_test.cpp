// Document windows: the counter, the File commands with real files, the
// format buttons following the caret, the Edit commands and printing.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>

#include <functional>

#include "dbwindow/frmView.h"
#include "shell/frmDocument.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

QByteArray readFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const std::string& path, const QByteArray& data) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class DocumentTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        activateWindow(main());
    }
    frmDocument* active() const { return main()->ActiveDocument(); }
    QStringList captions() const {
        QStringList out;
        for (QMdiSubWindow* w : main()->mdiArea->subWindowList())
            if (qobject_cast<frmDocument*>(w->widget())) out << w->windowTitle();
        return out;
    }
    // A new document with `text` typed into it.
    frmDocument* newDocument(const QString& text = {}) {
        main()->mnuFileNew->trigger();
        settle();
        frmDocument* doc = active();
        EXPECT_NE(doc, nullptr);
        if (doc) {
            doc->rtfText->setFocus();
            type(text);
        }
        return doc;
    }
    void clickButton(const char* key) {
        QWidget* button = main()->tbToolBar->widgetForAction(main()->ToolbarButton(key));
        ASSERT_NE(button, nullptr) << key;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }
    bool pressed(const char* key) const { return main()->ToolbarButton(key)->isChecked(); }
    bool documentCommandsEnabled() const {
        return main()->mnuFileSave->isEnabled() && main()->mnuFileClose->isEnabled() && main()->tbToolBar->isEnabled();
    }
};

TEST_F(DocumentTest, CounterNumbersNewDocumentsAndCommandsFollowActivation) {
    EXPECT_FALSE(documentCommandsEnabled());
    main()->mnuFileNew->trigger();
    ASSERT_TRUE(documentCommandsEnabled());
    clickButton("New");  // the toolbar runs the same command
    main()->mnuFileNew->trigger();
    settle();
    EXPECT_EQ(captions(), QStringList({"Document 1", "Document 2", "Document 3"}));

    // Another kind of child takes the commands away and releases the format buttons.
    clickButton("Bold");
    ASSERT_TRUE(pressed("Bold"));
    main()->mnuViewWindow->trigger();
    settle();
    EXPECT_FALSE(documentCommandsEnabled());
    EXPECT_FALSE(pressed("Bold"));

    for (QMdiSubWindow* w : main()->mdiArea->subWindowList())
        if (w->windowTitle() == "Document 2") main()->mdiArea->setActiveSubWindow(w);
    settle();
    ASSERT_TRUE(documentCommandsEnabled());
    main()->mnuFileClose->trigger();
    settle();
    main()->mnuFileNew->trigger();
    settle();
    EXPECT_EQ(captions(), QStringList({"Document 1", "Document 3", "Document 4"}));
}

// Save As chooses the format by the last three characters of the name, taken
// before trimming; other names are refused and nothing is written.
TEST_F(DocumentTest, SaveAsWritesTheFormatItsNameEndsIn) {
    struct Case {
        const char* name;
        const char* written;  // "text", "rtf" or nothing
    } const cases[] = {{"plain.TXT", "text"}, {"rich.rtf", "rtf"}, {"letter.doc", nullptr}, {"blank.TXT ", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frmDocument* doc = newDocument("Hello there");
        ASSERT_NE(doc, nullptr);
        const QString caption = doc->windowTitle();
        const std::string path = dir.file(c.name);
        prompts->files.push_back(QString::fromStdString(path));
        prompts->messages.clear();
        main()->mnuFileSaveAs->trigger();
        const QByteArray data = readFile(path);
        if (!c.written) {
            EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
            EXPECT_EQ(doc->windowTitle(), caption);
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_EQ(prompts->messages[0].caption, "Error");
        } else {
            EXPECT_EQ(doc->windowTitle(), QString::fromStdString(path));
            EXPECT_TRUE(prompts->messages.empty());
            if (QByteArray(c.written) == "text") EXPECT_EQ(data, "Hello there");
            else EXPECT_TRUE(data.startsWith("{\\rtf")) << data.left(40).toStdString();
        }
    }
}

// Save goes back to a file in the format its name says; a new document asks
// for a name on every Save and keeps its caption.
TEST_F(DocumentTest, SaveWritesTheFormatOfTheFileName) {
    frmDocument* doc = newDocument("first");
    ASSERT_NE(doc, nullptr);
    const std::string untitled = dir.file("untitled.txt");
    prompts->files.push_back(QString::fromStdString(untitled));
    main()->mnuFileSave->trigger();
    EXPECT_EQ(readFile(untitled), "first");
    EXPECT_EQ(doc->windowTitle().left(9), "Document ");
    prompts->files.push_back(std::nullopt);  // asked again; cancelled
    main()->mnuFileSave->trigger();

    const std::string notes = dir.file("notes.txt");
    prompts->files.push_back(QString::fromStdString(notes));
    main()->mnuFileSaveAs->trigger();
    type(" and second");
    clickButton("Save");
    EXPECT_EQ(readFile(notes), "first and second");

    const std::string rich = dir.file("rich.rtf");
    prompts->files.push_back(QString::fromStdString(rich));
    main()->mnuFileSaveAs->trigger();
    main()->mnuFileSave->trigger();
    EXPECT_TRUE(readFile(rich).startsWith("{\\rtf"));
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

// Open reads by content: RTF when the file begins with "{\rtf", whatever its
// name; a damaged RTF file opens as far as it can be read, with a message.
TEST_F(DocumentTest, OpenReadsFilesByTheirContent) {
    struct Case {
        const char* name;
        QByteArray data;
        QString shown;
        bool message;
    } const cases[] = {
        {"code.txt", "if (x) {\\b y}\nnext line", "if (x) {\\b y}\nnext line", false},
        {"rich.txt", "{\\rtf1\\ansi {\\b Bold} text}", "Bold text", false},
        {"latin.txt", "caf\xe9", QString::fromUtf8("caf\u00e9"), false},
        {"cut.rtf", "{\\rtf1\\ansi {\\b Bold text", "Bold text", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        writeFile(path, c.data);
        prompts->messages.clear();
        prompts->files.push_back(QString::fromStdString(path));
        main()->mnuFileOpen->trigger();
        settle();
        ASSERT_NE(active(), nullptr);
        EXPECT_EQ(active()->rtfText->toPlainText(), c.shown);
        EXPECT_EQ(prompts->messages.size(), c.message ? 1u : 0u);
    }
    // A file that cannot be read says so; cancelling opens nothing.
    const int before = captions().size();
    prompts->messages.clear();
    prompts->files.push_back(QString::fromStdString(dir.file("missing.txt")));
    main()->mnuFileOpen->trigger();
    EXPECT_EQ(prompts->messages.size(), 1u);
    prompts->files.push_back(std::nullopt);
    main()->mnuFileOpen->trigger();
    EXPECT_EQ(captions().size(), before + 1);
}

TEST_F(DocumentTest, FormatButtonsFollowTheCaret) {
    frmDocument* doc = newDocument("plain start");
    ASSERT_NE(doc, nullptr);
    key(Qt::Key_Return);
    type("plain right");
    clickButton("Align Right");
    key(Qt::Key_Return);
    type("bold centre");
    key(Qt::Key_Home, Qt::ShiftModifier);
    clickButton("Bold");
    clickButton("Center");
    EXPECT_TRUE(pressed("Bold"));

    key(Qt::Key_Up);
    EXPECT_FALSE(pressed("Bold"));
    EXPECT_TRUE(pressed("Align Right"));
    EXPECT_FALSE(pressed("Center"));
    // Between paragraphs whose text looks alike only the alignment changes.
    key(Qt::Key_Up);
    EXPECT_TRUE(pressed("Align Left"));
    EXPECT_FALSE(pressed("Align Right"));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_End);
    EXPECT_TRUE(pressed("Bold"));
    EXPECT_TRUE(pressed("Center"));
    EXPECT_FALSE(pressed("Align Left"));
    EXPECT_FALSE(pressed("Align Right"));
    // A selection over all paragraphs is neither bold nor of one alignment.
    key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(pressed("Bold"));
    EXPECT_FALSE(pressed("Center") || pressed("Align Left"));

    // Bold twice leaves the selection as it was and the button released.
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_End, Qt::ShiftModifier);
    clickButton("Bold");
    EXPECT_TRUE(pressed("Bold"));
    clickButton("Bold");
    EXPECT_FALSE(pressed("Bold"));
    EXPECT_FALSE(doc->rtfText->document()->begin().begin().fragment().charFormat().font().bold());
}

// Cut and Copy take the document's selection; the Paste command does nothing
// in a document, where the text box's own keys paste; Font sets name and size.
TEST_F(DocumentTest, EditAndFontCommandsInADocument) {
    frmDocument* doc = newDocument("one");
    ASSERT_NE(doc, nullptr);
    key(Qt::Key_Return);
    type("two");
    key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    main()->mnuEditCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "one\ntwo");
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Home, Qt::ShiftModifier);
    main()->mnuEditCut->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "two");
    EXPECT_EQ(doc->rtfText->toPlainText(), "one\n");

    QApplication::clipboard()->setText("pasted");
    main()->mnuEditPaste->trigger();
    clickButton("Paste");
    EXPECT_EQ(doc->rtfText->toPlainText(), "one\n");
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(doc->rtfText->toPlainText(), "one\npasted");

    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_End, Qt::ShiftModifier);
    clickButton("Bold");
    prompts->fonts.push_back(QFont("Monospace", 17));
    main()->mnuFont->trigger();
    QTextCursor c(doc->rtfText->document());
    c.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(c.charFormat().font().pointSize(), 17);
    EXPECT_TRUE(c.charFormat().font().bold());
    c.movePosition(QTextCursor::End);
    EXPECT_EQ(c.charFormat().font().pointSize(), 17);
    EXPECT_EQ(c.charFormat().font().family(), QFont("Monospace").family());
}

TEST_F(DocumentTest, PrintWritesTheDocumentOnTheChosenPrinter) {
    frmDocument* doc = newDocument("A page of text to print");
    ASSERT_NE(doc, nullptr);
    const std::string pdf = dir.file("page.pdf");
    prompts->prints.push_back(ScriptedPrompts::PrintAnswer{QString::fromStdString(pdf)});
    clickButton("Print");
    const QByteArray out = readFile(pdf);
    EXPECT_TRUE(out.startsWith("%PDF")) << out.size();
    EXPECT_GT(out.size(), 500);
    EXPECT_EQ(prompts->selectionOffered, std::vector<bool>{false});

    // With a selection the dialog offers it; cancelling prints nothing.
    key(Qt::Key_Home, Qt::ShiftModifier);
    prompts->prints.push_back(std::nullopt);
    main()->mnuFilePrint->trigger();
    EXPECT_EQ(prompts->selectionOffered, (std::vector<bool>{false, true}));
    prompts->pageSetups.push_back(false);
    main()->mnuFilePageSetup->trigger();
    EXPECT_TRUE(prompts->messages.empty());

    // A printer that cannot print says so instead of finishing silently.
    prompts->prints.push_back(ScriptedPrompts::PrintAnswer{QString::fromStdString(dir.file("no/such/folder/x.pdf"))});
    main()->mnuFilePrint->trigger();
    EXPECT_EQ(prompts->messages.size(), 1u);
}

}  // namespace
