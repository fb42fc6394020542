#pragma once
// A document window: an MDI child holding one rich-text box. Files are read
// by their content (RTF when they begin with "{\rtf", plain text otherwise)
// and written as RTF or plain text.
#include <QString>
#include <QWidget>

class QMdiSubWindow;
class QTextEdit;

class frmDocument : public QWidget {
    Q_OBJECT
public:
    enum class Format { Rtf, PlainText };

    explicit frmDocument(QWidget* parent = nullptr);

    QTextEdit* rtfText = nullptr;
    // The format the file in the caption was read or last written in.
    Format FileFormat = Format::Rtf;

    QMdiSubWindow* subWindow() const;
    // Unloads the window.
    void CloseForm();

    // Reads `path` into the text box by its content. A damaged RTF file opens as
    // far as it can be read, with a message. False (after a message) when the
    // file cannot be read at all.
    bool LoadFile(const QString& path);
    // Writes the text box to `path` in `format`, replacing the file only once
    // everything is written. False (after a message) when it could not be written.
    bool SaveFile(const QString& path, Format format);
    // Prints the whole document, or only the selection when the printer's
    // range says so.
    void Print(class QPrinter& printer);

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void Form_Deactivate();
    void Form_Unload();
    void Form_Resize();
    void rtfText_SelChange();

    // Whether every character of the selection (or the caret's format when
    // nothing is selected) is bold, italic, underlined.
    enum class Flag { Bold, Italic, Underline };
    bool SelectionHas(Flag flag) const;
    // The alignment shared by every paragraph of the selection; 0 when they differ.
    Qt::Alignment SelAlignment() const;

protected:
    void closeEvent(class QCloseEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;

private:
    bool unloaded_ = false;
};
