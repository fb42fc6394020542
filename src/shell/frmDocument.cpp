#include "shell/frmDocument.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include "shell/enablemenus.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "shell/rtfcodec.h"
#include "shell/twips.h"

namespace {

constexpr Qt::Alignment kHorizontal = Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify;

bool hasFlag(const QTextCharFormat& format, frmDocument::Flag flag) {
    switch (flag) {
    case frmDocument::Flag::Bold: return format.fontWeight() > QFont::Medium;  // as QFont::bold() counts it
    case frmDocument::Flag::Italic: return format.fontItalic();
    case frmDocument::Flag::Underline: return format.fontUnderline();
    }
    return false;
}

// Plain text files: UTF-8, or Latin-1 when the bytes are no valid UTF-8
// (stateless, so a sequence cut off at the end counts as invalid too).
QString decodePlainText(const QByteArray& data) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(data);
}

}  // namespace

frmDocument::frmDocument(QWidget* parent) : QWidget(parent) {
    setObjectName("frmDocument");
    rtfText = new QTextEdit(this);
    rtfText->setObjectName("rtfText");
    rtfText->setAcceptRichText(true);
    connect(rtfText, &QTextEdit::cursorPositionChanged, this, &frmDocument::rtfText_SelChange);
    connect(rtfText, &QTextEdit::selectionChanged, this, &frmDocument::rtfText_SelChange);
    connect(rtfText, &QTextEdit::currentCharFormatChanged, this, &frmDocument::rtfText_SelChange);
    setFocusProxy(rtfText);
    resize(Twips::toPixelsX(6000), Twips::toPixelsY(4000));
}

QMdiSubWindow* frmDocument::subWindow() const { return qobject_cast<QMdiSubWindow*>(parentWidget()); }

void frmDocument::CloseForm() {
    if (QMdiSubWindow* sub = subWindow()) sub->close();
    else close();
}

// ------------------------------------------------------------------ events

void frmDocument::Form_Load() {
    EnableMenus::EnableDocumentMenus();
    Form_Resize();
}

void frmDocument::Form_Activate() {
    EnableMenus::EnableDocumentMenus();
    rtfText_SelChange();  // the format buttons show this document's caret
}

void frmDocument::Form_Deactivate() {
    EnableMenus::DisableDocumentMenus();
    EnableMenus::ResetFormatButtons();
}

void frmDocument::Form_Unload() { Form_Deactivate(); }

void frmDocument::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    event->accept();
}

void frmDocument::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

// The text box sits 100 twips inside the window on every side and wraps its
// lines 400 twips short of its own width. A window too small for that (such
// as a minimized one) leaves the box as it is.
void frmDocument::Form_Resize() {
    const double width = Twips::fromPixelsX(this->width()) - 200;
    const double height = Twips::fromPixelsY(this->height()) - 200;
    if (width <= 0 || height <= 0) return;
    rtfText->setGeometry(Twips::toPixelsX(100), Twips::toPixelsY(100), Twips::toPixelsX(width), Twips::toPixelsY(height));
    if (width > 400) {
        rtfText->setLineWrapMode(QTextEdit::FixedPixelWidth);
        rtfText->setLineWrapColumnOrWidth(Twips::toPixelsX(width - 400));
    }
}

// -------------------------------------------------------------- format state

bool frmDocument::SelectionHas(Flag flag) const {
    const QTextCursor cursor = rtfText->textCursor();
    if (!cursor.hasSelection()) return hasFlag(rtfText->currentCharFormat(), flag);
    const int from = cursor.selectionStart(), to = cursor.selectionEnd();
    for (QTextBlock b = rtfText->document()->findBlock(from); b.isValid() && b.position() < to; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= from || f.position() >= to) continue;
            if (!hasFlag(f.charFormat(), flag)) return false;
        }
    return true;
}

Qt::Alignment frmDocument::SelAlignment() const {
    const QTextCursor cursor = rtfText->textCursor();
    const QTextDocument* doc = rtfText->document();
    const QTextBlock first = doc->findBlock(cursor.selectionStart());
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    const Qt::Alignment shared = first.blockFormat().alignment() & kHorizontal;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if ((b.blockFormat().alignment() & kHorizontal) != shared) return {};
        if (b == last) break;
    }
    return shared;
}

void frmDocument::rtfText_SelChange() {
    frmMain* main = frmMain::instance();
    if (!main) return;
    auto press = [main](const char* key, bool on) {
        if (QAction* a = main->ToolbarButton(key)) a->setChecked(on);
    };
    press("Bold", SelectionHas(Flag::Bold));
    press("Italic", SelectionHas(Flag::Italic));
    press("Underline", SelectionHas(Flag::Underline));
    const Qt::Alignment align = SelAlignment();
    press("Align Left", align == Qt::AlignLeft);
    press("Center", align == Qt::AlignHCenter);
    press("Align Right", align == Qt::AlignRight);
}

// ------------------------------------------------------------------- files

bool frmDocument::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Prompts::message("The file " + path + " could not be opened: " + file.errorString() + ".");
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    if (rtf::looksLikeRtf(data)) {
        const rtf::ReadResult read = rtf::fromRtf(data, *rtfText->document());
        FileFormat = Format::Rtf;
        if (!read.complete)
            Prompts::message("The file " + path + " was opened as far as it could be read. " + read.message,
                             Prompts::kAppTitle, Prompts::Icon::Exclamation);
    } else {
        rtfText->setPlainText(decodePlainText(data));
        FileFormat = Format::PlainText;
    }
    rtfText->moveCursor(QTextCursor::Start);
    rtfText->document()->setModified(false);
    return true;
}

bool frmDocument::SaveFile(const QString& path, Format format) {
    const QByteArray data = format == Format::Rtf ? rtf::toRtf(*rtfText->document()).toUtf8()
                                                  : rtfText->toPlainText().toUtf8();
    // Written beside the old file and put in its place at the end, so a
    // failed write leaves the old contents whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        Prompts::message("The document could not be saved to " + path + ": " + file.errorString() + ".");
        return false;
    }
    rtfText->document()->setModified(false);
    return true;
}

void frmDocument::Print(QPrinter& printer) { rtfText->print(&printer); }
