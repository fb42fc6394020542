#pragma once
// Rich text of the document window as RTF: a writer of the formatting a
// QTextDocument keeps (font family, size, bold, italic, underline, colour,
// paragraph alignment) and a tolerant reader of what word processors write,
// which skips what it does not show and opens as much of a damaged file as it
// can read.
#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rtf {

// The document as RTF text; plain ASCII, anything else written as \uN?.
QString toRtf(const QTextDocument& document);

struct ReadResult {
    // False when the input was damaged or had to be cut down to be read.
    bool complete = true;
    // What was wrong, in a sentence or two; empty when complete.
    QString message;
};

// Replaces the document's contents with the RTF text read from `data`.
ReadResult fromRtf(const QByteArray& data, QTextDocument& document);

// True when the data begins as an RTF file does ("{\rtf").
bool looksLikeRtf(const QByteArray& data);

}  // namespace rtf
