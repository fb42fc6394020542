#pragma once
// Records as lines of text, in the two forms Copy to text writes and Append
// from text reads: the fixed-width layout (each value padded with blanks to
// its field's size, a longer value written whole, no separators) and CSV
// (RFC 4180: a header line of names, fields quoted when they hold a comma, a
// quote or a line break, quotes doubled, CR LF). Values take their default
// text form, which converts back to the same value. Text is UTF-8; widths
// count characters, not bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace engine::textrecords {

// Characters (code points) of UTF-8 text.
std::size_t characters(std::string_view utf8);

// Appends a value's default text form (Null as nothing).
void appendText(std::string& out, const Variant& value);

// Appends one fixed-width column: the value's text form (a Null as one blank)
// followed by blanks up to `width` characters.
void appendFixed(std::string& line, const Variant& value, int width);

// The next column of a fixed-width line: at most `width` characters from byte
// `pos`, which moves past them; shorter or empty at the end of the line.
std::string_view cutFixed(std::string_view line, std::size_t& pos, int width);

// Appends one CSV field: Null as nothing, empty text as "", and a value that
// holds a comma, quote, CR or LF in quotes with its quotes doubled.
void appendCsv(std::string& line, const Variant& value);
void appendCsvText(std::string& line, std::string_view text);

// A file written in large blocks. Errors are engine Errors naming the file.
class Writer {
public:
    // Creates the file, or empties it when it exists.
    explicit Writer(const std::string& path);
    // Writes what is held (an error stopped the writing) and closes the file.
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    // Writes `line` and CR LF.
    void writeLine(std::string_view line);
    // Writes what is held and closes the file; an error when any write failed.
    void close();

private:
    void flush();
    std::string path_;
    std::FILE* file_ = nullptr;
    std::string pending_;
};

// Bytes that are not UTF-8 read as Windows-1252, the code page of older
// files; UTF-8 passes unchanged.
class LegacyText {
public:
    LegacyText() = default;
    ~LegacyText();
    LegacyText(const LegacyText&) = delete;
    LegacyText& operator=(const LegacyText&) = delete;
    // The text as UTF-8, valid until the next call.
    std::string_view utf8(std::string_view bytes);

private:
    std::string decoded_;
    void* decoder_ = nullptr;  // iconv handle, opened when first needed
};

// A text file read a line at a time: lines end with LF or CR LF, a last line
// may have no end, and a UTF-8 byte-order mark at the start is skipped. With
// `legacy`, a line that is not UTF-8 is read as Windows-1252; without, lines
// come as their bytes.
class LineReader {
public:
    LineReader(const std::string& path, bool legacy);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its line end, valid until the next call; false
    // at the end of the file.
    bool next(std::string_view& line);
    // Whether the line just read ended with CR LF.
    bool endedWithCR() const { return endedWithCR_; }
    // Lines read so far, and bytes of the file, for progress.
    long long lineNumber() const { return lineNumber_; }
    long long bytesRead() const { return consumed_; }
    long long fileSize() const { return size_; }

private:
    bool fill();
    std::string path_;
    std::FILE* file_ = nullptr;
    bool legacy_;
    std::string buffer_;
    std::size_t start_ = 0;  // first unread byte of buffer_
    bool atEnd_ = false;
    bool endedWithCR_ = false;
    long long lineNumber_ = 0, consumed_ = 0, size_ = 0;
    LegacyText decoder_;
};

// The records of a CSV file: fields may be quoted, with doubled quotes and
// commas and line breaks inside; blank lines are skipped. Fields come as the
// file's bytes (binary values stay whole); LegacyText reads text fields.
class CsvReader {
public:
    struct Field {
        std::string text;
        bool quoted = false;  // "" is empty text, an empty unquoted field is Null
    };
    explicit CsvReader(LineReader& lines) : lines_(lines) {}
    // The next record; false at the end. Error 3274 for a quote left open at
    // the end of the file.
    bool next(std::vector<Field>& fields, std::size_t& count);
    // The line the last record started on (1 for the first).
    long long recordLine() const { return recordLine_; }

private:
    LineReader& lines_;
    long long recordLine_ = 0;
};

// The number of the error a file that does not have the expected form gives.
constexpr int kBadTextFormat = 3274;

}  // namespace engine::textrecords
