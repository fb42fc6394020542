#include "engine/textrecords.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "engine/error.h"

namespace engine::textrecords {

namespace {

constexpr std::size_t kBlock = 1 << 20;

[[noreturn]] void fileError(const std::string& what, const std::string& path, int code) {
    throw Error(75, "Path/File access error: cannot " + what + " '" + path + "' (" + std::strerror(code) + ").");
}

// Whether bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF).
bool validUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned char lo = 0x80, hi = 0xBF;
        if (*p >= 0xC2 && *p <= 0xDF) more = 1;
        else if (*p >= 0xE0 && *p <= 0xEF) {
            more = 2;
            if (*p == 0xE0) lo = 0xA0;
            if (*p == 0xED) hi = 0x9F;
        } else if (*p >= 0xF0 && *p <= 0xF4) {
            more = 3;
            if (*p == 0xF0) lo = 0x90;
            if (*p == 0xF4) hi = 0x8F;
        } else return false;
        if (end - p <= more) return false;
        if (p[1] < lo || p[1] > hi) return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += more + 1;
    }
    return true;
}

bool needsQuotes(std::string_view text) { return text.find_first_of(",\"\r\n") != std::string_view::npos; }

}  // namespace

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char ch : utf8)
        if ((ch & 0xC0) != 0x80) ++n;
    return n;
}

void appendText(std::string& out, const Variant& value) {
    switch (value.kind()) {
    case Variant::Kind::Null: return;
    case Variant::Kind::Text:
    case Variant::Kind::Binary:
    case Variant::Kind::GUID: out += value.bytes(); return;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
    case Variant::Kind::BigInt: {
        char buf[24];
        const auto res = std::to_chars(buf, buf + sizeof buf, value.intValue());
        out.append(buf, res.ptr);
        return;
    }
    default: out += value.toText();
    }
}

void appendFixed(std::string& line, const Variant& value, int width) {
    const std::size_t before = line.size();
    if (value.isNull()) line += ' ';
    else appendText(line, value);
    const std::size_t written = characters(std::string_view(line).substr(before));
    if (written < static_cast<std::size_t>(width)) line.append(static_cast<std::size_t>(width) - written, ' ');
}

std::string_view cutFixed(std::string_view line, std::size_t& pos, int width) {
    const std::size_t start = std::min(pos, line.size());
    std::size_t end = start;
    for (int n = 0; n < width && end < line.size(); ++n) {
        ++end;
        while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) ++end;
    }
    pos = end;
    return line.substr(start, end - start);
}

void appendCsvText(std::string& line, std::string_view text) {
    if (text.empty()) {
        line += "\"\"";
        return;
    }
    if (!needsQuotes(text)) {
        line += text;
        return;
    }
    line += '"';
    for (char ch : text) {
        if (ch == '"') line += '"';
        line += ch;
    }
    line += '"';
}

void appendCsv(std::string& line, const Variant& value) {
    if (value.isNull()) return;
    if (value.kind() == Variant::Kind::Text || value.kind() == Variant::Kind::Binary) return appendCsvText(line, value.bytes());
    const std::size_t before = line.size();
    appendText(line, value);
    // Numbers, dates and Booleans never need quotes; an empty form would read back as Null.
    if (line.size() == before || needsQuotes(std::string_view(line).substr(before))) {
        const std::string text = line.substr(before);
        line.resize(before);
        appendCsvText(line, text);
    }
}

// ------------------------------------------------------------------ Writer

Writer::Writer(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) fileError("write to", path, errno);
    pending_.reserve(kBlock + 4096);
}

Writer::~Writer() {
    // Left by an error: what was written so far stays in the file.
    if (!file_) return;
    std::fwrite(pending_.data(), 1, pending_.size(), file_);
    std::fclose(file_);
}

void Writer::writeLine(std::string_view line) {
    pending_ += line;
    pending_ += "\r\n";
    if (pending_.size() >= kBlock) flush();
}

void Writer::flush() {
    if (pending_.empty()) return;
    if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) fileError("write to", path_, errno);
    pending_.clear();
}

void Writer::close() {
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    const std::size_t n = pending_.size();
    const bool written = n == 0 || std::fwrite(pending_.data(), 1, n, f) == n;
    const int code = errno;
    pending_.clear();
    const bool closed = std::fclose(f) == 0;
    if (!written) fileError("write to", path_, code);
    if (!closed) fileError("write to", path_, errno);
}

// -------------------------------------------------------------- LegacyText

LegacyText::~LegacyText() {
    if (decoder_) iconv_close(static_cast<iconv_t>(decoder_));
}

std::string_view LegacyText::utf8(std::string_view bytes) {
    if (validUtf8(bytes)) return bytes;
    if (!decoder_) {
        iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
        if (cd == reinterpret_cast<iconv_t>(-1)) throw Error(err::Generic, "Windows-1252 text cannot be decoded here.");
        decoder_ = cd;
    }
    auto cd = static_cast<iconv_t>(decoder_);
    decoded_.assign(bytes.size() * 3, '\0');
    char* in = const_cast<char*>(bytes.data());
    char* out = decoded_.data();
    std::size_t inLeft = bytes.size(), outLeft = decoded_.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0 && iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        // The five bytes Windows-1252 leaves unassigned come through as U+FFFD.
        if (errno == E2BIG || outLeft < 3) break;
        std::memcpy(out, "\xEF\xBF\xBD", 3);
        out += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    decoded_.resize(static_cast<std::size_t>(out - decoded_.data()));
    return decoded_;
}

// -------------------------------------------------------------- LineReader

LineReader::LineReader(const std::string& path, bool legacy) : path_(path), legacy_(legacy) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        if (errno == ENOENT) throw Error(err::FileNotFound, "Could not find file '" + path + "'.");
        fileError("read", path, errno);
    }
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        size_ = std::ftell(file_);
        std::fseek(file_, 0, SEEK_SET);
    }
    fill();
    if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        start_ = 3;
        consumed_ = 3;
    }
}

LineReader::~LineReader() {
    if (file_) std::fclose(file_);
}

// Moves the unread bytes to the front and reads another block; false when
// nothing more came.
bool LineReader::fill() {
    if (atEnd_) return false;
    buffer_.erase(0, start_);
    start_ = 0;
    const std::size_t held = buffer_.size();
    buffer_.resize(held + kBlock);
    const std::size_t got = std::fread(buffer_.data() + held, 1, kBlock, file_);
    buffer_.resize(held + got);
    if (got < kBlock) {
        if (std::ferror(file_)) fileError("read", path_, errno);
        atEnd_ = true;
    }
    return got > 0;
}

bool LineReader::next(std::string_view& line) {
    std::size_t lf;
    while ((lf = buffer_.find('\n', start_)) == std::string::npos)
        if (!fill()) break;
    if (start_ >= buffer_.size()) return false;
    const std::size_t end = lf == std::string::npos ? buffer_.size() : lf;
    std::string_view text(buffer_.data() + start_, end - start_);
    consumed_ += static_cast<long long>(end - start_ + (lf == std::string::npos ? 0 : 1));
    start_ = lf == std::string::npos ? buffer_.size() : lf + 1;
    endedWithCR_ = !text.empty() && text.back() == '\r';
    if (endedWithCR_) text.remove_suffix(1);
    ++lineNumber_;
    line = legacy_ ? decoder_.utf8(text) : text;
    return true;
}

// --------------------------------------------------------------- CsvReader

bool CsvReader::next(std::vector<Field>& fields, std::size_t& count) {
    std::string_view line;
    do {
        if (!lines_.next(line)) return false;
    } while (line.empty());
    recordLine_ = lines_.lineNumber();
    count = 0;
    auto field = [&]() -> Field& {
        if (fields.size() <= count) fields.emplace_back();
        Field& f = fields[count++];
        f.text.clear();
        f.quoted = false;
        return f;
    };
    Field* f = &field();
    std::size_t i = 0;
    for (;;) {
        if (i < line.size() && line[i] == '"') {
            // A quoted field: up to the lone closing quote, across line ends.
            f->quoted = true;
            ++i;
            for (;;) {
                const std::size_t q = line.find('"', i);
                if (q == std::string_view::npos) {
                    f->text += line.substr(i);
                    const bool cr = lines_.endedWithCR();
                    if (!lines_.next(line))
                        throw Error(kBadTextFormat, "External table is not in the expected format: the quoted field "
                                                    "that starts on line " + std::to_string(recordLine_) +
                                                    " is not closed.");
                    f->text += cr ? "\r\n" : "\n";
                    i = 0;
                    continue;
                }
                f->text += line.substr(i, q - i);
                if (q + 1 < line.size() && line[q + 1] == '"') {
                    f->text += '"';
                    i = q + 2;
                    continue;
                }
                i = q + 1;
                break;
            }
            // Anything between the closing quote and the next comma belongs to the field.
            const std::size_t comma = line.find(',', i);
            f->text += line.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i);
            if (comma == std::string_view::npos) return true;
            i = comma + 1;
        } else {
            const std::size_t comma = line.find(',', i);
            if (comma == std::string_view::npos) {
                f->text.assign(line.substr(i));
                return true;
            }
            f->text.assign(line.substr(i, comma - i));
            i = comma + 1;
        }
        f = &field();
    }
}

}  // namespace engine::textrecords
