#include "shell/rtfcodec.h"

#include <QColor>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rtf {

namespace {

// Characters with a control word or symbol of their own.
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kNoBreakSpace = 0x00A0;
constexpr char16_t kSoftHyphen = 0x00AD;
constexpr char16_t kNoBreakHyphen = 0x2011;
constexpr char16_t kObjectReplacement = 0xFFFC;
constexpr char16_t kReplacement = 0xFFFD;

// The sizes a reader and writer agree on: RTF counts half points, and the
// default is 12 pt. Word processors allow up to 1638 pt.
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276;

// ---------------------------------------------------------------- writing

class Writer {
public:
    explicit Writer(const QTextDocument& document) : doc_(document) {}

    QString write() {
        for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
            word(QStringLiteral("pard"));
            word(alignmentWord(block.blockFormat().alignment()));
            bool any = false;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.isValid() || fragment.length() == 0) continue;
                runFormat(fragment.charFormat());
                text(fragment.text());
                any = true;
            }
            // An empty paragraph keeps the size and font of its mark.
            if (!any) runFormat(block.charFormat());
            word(QStringLiteral("par"));
            body_ += u'\n';
            delimit_ = false;
        }

        QString out = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl");
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            out += QStringLiteral("{\\f%1\\fnil\\fcharset0 ").arg(i);
            QString name = fonts_[i];
            name.remove(u';');  // ends the name in the table
            out += escaped(name);
            out += QStringLiteral(";}");
        }
        out += QStringLiteral("}\n{\\colortbl;");
        for (QRgb rgb : colours_)
            out += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb));
        out += QStringLiteral("}\n{\\*\\generator Ledgerly;}\\viewkind4\n");
        out += body_;
        out += QStringLiteral("}\n");
        return out;
    }

private:
    static QString alignmentWord(Qt::Alignment alignment) {
        if (alignment & Qt::AlignHCenter) return QStringLiteral("qc");
        if (alignment & Qt::AlignJustify) return QStringLiteral("qj");
        if (alignment & Qt::AlignRight) return QStringLiteral("qr");
        return QStringLiteral("ql");
    }

    int fontIndex(const QString& family) {
        qsizetype i = fonts_.indexOf(family);
        if (i < 0) {
            fonts_.append(family);
            i = fonts_.size() - 1;
        }
        return static_cast<int>(i);
    }

    // Index 0 of the colour table is the automatic colour.
    int colourIndex(const QTextCharFormat& format) {
        const QBrush brush = format.foreground();
        if (brush.style() == Qt::NoBrush) return 0;
        const QRgb rgb = brush.color().rgb() | 0xFF000000u;
        auto it = std::find(colours_.begin(), colours_.end(), rgb);
        if (it == colours_.end()) it = colours_.insert(colours_.end(), rgb);
        return static_cast<int>(it - colours_.begin()) + 1;
    }

    // Every run states all its properties after \plain, so that a reader
    // needs no memory of the run before; a run like the one before adds nothing.
    void runFormat(const QTextCharFormat& format) {
        const QFont font = format.font().resolve(doc_.defaultFont());
        QString words = QStringLiteral("\\plain\\f%1").arg(fontIndex(font.family()));
        const double points = font.pointSizeF();
        if (points > 0) words += QStringLiteral("\\fs%1").arg(std::clamp(qRound(points * 2), 1, kMaxHalfPoints));
        if (font.bold()) words += QStringLiteral("\\b");
        if (font.italic()) words += QStringLiteral("\\i");
        if (font.underline()) words += QStringLiteral("\\ul");
        if (int colour = colourIndex(format)) words += QStringLiteral("\\cf%1").arg(colour);
        if (words == lastRun_) return;
        lastRun_ = words;
        body_ += words;
        delimit_ = true;
    }

    void word(const QString& name) {
        body_ += u'\\';
        body_ += name;
        delimit_ = true;
    }

    void symbol(char c) {
        body_ += u'\\';
        body_ += QLatin1Char(c);
        delimit_ = false;
    }

    void text(QStringView s) {
        for (QChar c : s) {
            const char16_t u = c.unicode();
            switch (u) {
            case u'\\':
            case u'{':
            case u'}': symbol(static_cast<char>(u)); continue;
            case u'\t': word(QStringLiteral("tab")); continue;
            case kLineSeparator: word(QStringLiteral("line")); continue;
            case kNoBreakSpace: symbol('~'); continue;
            case kSoftHyphen: symbol('-'); continue;
            case kNoBreakHyphen: symbol('_'); continue;
            case kObjectReplacement: continue;  // an image or object: not kept
            default: break;
            }
            if (u >= 0x20 && u < 0x7F) {
                if (delimit_) body_ += u' ';
                delimit_ = false;
                body_ += c;
            } else {
                // One \u per UTF-16 unit, as a signed 16-bit number, with "?"
                // for readers that do not know \u.
                body_ += QStringLiteral("\\u%1?").arg(static_cast<std::int16_t>(u));
                delimit_ = false;
            }
        }
    }

    QString escaped(QStringView s) {
        QString saved;
        std::swap(saved, body_);
        delimit_ = false;
        text(s);
        std::swap(saved, body_);
        return saved;
    }

    const QTextDocument& doc_;
    QStringList fonts_;
    std::vector<QRgb> colours_;
    QString body_;
    QString lastRun_;
    bool delimit_ = false;  // the last thing written was a control word
};

// ---------------------------------------------------------------- reading

// The code page of a font's \fcharset; 0 for the document's own.
int codePageOfCharset(int charset) {
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

// A decoder for a Windows code page number; Windows-1252 when the number is
// unknown here.
QStringDecoder decoderForCodePage(int codePage) {
    QList<QByteArray> names;
    switch (codePage) {
    case 932: names = {"windows-31j", "Shift_JIS"}; break;
    case 936: names = {"GBK"}; break;
    case 949: names = {"windows-949", "EUC-KR"}; break;
    case 950: names = {"Big5"}; break;
    case 10000: names = {"macintosh"}; break;
    case 65001: names = {"UTF-8"}; break;
    default:
        if (codePage > 0 && codePage < 100000) {
            const QByteArray n = QByteArray::number(codePage);
            names = {"windows-" + n, "IBM" + n, "cp" + n};
        }
        break;
    }
    names.append("windows-1252");
    for (const QByteArray& name : names) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) return decoder;
    }
    return QStringDecoder(QStringConverter::Latin1);
}

enum class Dest : std::uint8_t { Text, FontTable, ColourTable, Skip };

struct CharProps {
    int font = -1;  // -1: the default font (\deff)
    int halfPoints = kDefaultHalfPoints;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int colour = 0;
    bool operator==(const CharProps&) const = default;
};

// What a group saves and its closing brace restores.
struct State {
    Dest dest = Dest::Text;
    CharProps chars;
    Qt::Alignment align = Qt::AlignLeft;
    int uc = 1;  // bytes of fallback after each \u
};

enum class Word : std::uint8_t {
    Ansi, Mac, Pc, Pca, AnsiCpg, Deff, FontTable, ColourTable, SkipDest,
    Font, Charset, Cpg, Red, Green, Blue,
    FontSize, Bold, Italic, Underline, UnderlineNone, Plain, Colour,
    Pard, Left, Centre, Right, Justify,
    Par, Line, Tab, Char, Uc, Unicode, Bin,
};

struct WordInfo {
    Word word;
    char16_t ch = 0;  // for Word::Char
};

const std::unordered_map<std::string_view, WordInfo>& words() {
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t = {
            {"ansi", {Word::Ansi}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}}, {"pca", {Word::Pca}},
            {"ansicpg", {Word::AnsiCpg}}, {"deff", {Word::Deff}}, {"fonttbl", {Word::FontTable}},
            {"colortbl", {Word::ColourTable}}, {"f", {Word::Font}}, {"fcharset", {Word::Charset}},
            {"cpg", {Word::Cpg}}, {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}},
            {"fs", {Word::FontSize}}, {"b", {Word::Bold}}, {"i", {Word::Italic}},
            {"ulnone", {Word::UnderlineNone}}, {"plain", {Word::Plain}}, {"cf", {Word::Colour}},
            {"pard", {Word::Pard}}, {"ql", {Word::Left}}, {"qc", {Word::Centre}}, {"qr", {Word::Right}},
            {"qj", {Word::Justify}}, {"par", {Word::Par}}, {"page", {Word::Par}}, {"row", {Word::Par}},
            {"line", {Word::Line}}, {"tab", {Word::Tab}}, {"cell", {Word::Tab}}, {"nestcell", {Word::Tab}},
            {"uc", {Word::Uc}}, {"u", {Word::Unicode}}, {"bin", {Word::Bin}},
            {"emdash", {Word::Char, 0x2014}}, {"endash", {Word::Char, 0x2013}},
            {"emspace", {Word::Char, 0x2003}}, {"enspace", {Word::Char, 0x2002}},
            {"qmspace", {Word::Char, 0x2005}}, {"bullet", {Word::Char, 0x2022}},
            {"lquote", {Word::Char, 0x2018}}, {"rquote", {Word::Char, 0x2019}},
            {"ldblquote", {Word::Char, 0x201C}}, {"rdblquote", {Word::Char, 0x201D}},
            {"zwj", {Word::Char, 0x200D}}, {"zwnj", {Word::Char, 0x200C}},
            {"ltrmark", {Word::Char, 0x200E}}, {"rtlmark", {Word::Char, 0x200F}},
        };
        // Every kind of underline reads as underline (\ulc is its colour).
        for (std::string_view w : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
                                   "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw",
                                   "ulwave"})
            t.emplace(w, WordInfo{Word::Underline});
        // Destinations whose contents are not part of the visible text.
        for (std::string_view w :
             {"info", "pict", "stylesheet", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
              "footerf", "footnote", "annotation", "objdata", "objclass", "objname", "fldinst", "xe", "tc", "txe",
              "rxe",
              "template", "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl", "latentstyles",
              "themedata", "colorschememapping", "datastore", "xmlnstbl", "nonshppict", "shp", "shpinst", "do",
              "pgdsctbl", "userprops", "docvar", "background", "fchars", "lchars", "ftnsep", "ftnsepc", "ftncn",
              "aftnsep", "aftnsepc", "aftncn", "private", "generator", "bkmkstart", "bkmkend", "atnid", "atnauthor",
              "atrfstart", "atrfend", "atndate", "atnref", "author", "operator", "title", "subject", "keywords",
              "comment", "doccomm", "company", "creatim", "revtim", "printim", "buptim", "mmathPr", "picprop",
              "blipuid", "pn", "pntxta", "pntxtb"})
            t.emplace(w, WordInfo{Word::SkipDest});
        return t;
    }();
    return table;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    Reader(const QByteArray& data, QTextDocument& document) : data_(data), cursor_(&document) {}

    ReadResult read() {
        if (!looksLikeRtf(data_)) problem(Problem::NotRtf);
        const qsizetype n = data_.size();
        bool ended = false;
        while (pos_ < n && !ended) {
            const char c = data_[pos_++];
            switch (c) {
            case '{': openGroup(); break;
            case '}': ended = closeGroup(); break;
            case '\\': control(); break;
            case '\r':
            case '\n': break;
            default: textByte(c); break;
            }
        }
        if (!ended && entered_) problem(Problem::Truncated);
        for (; pos_ < n; ++pos_) {
            const char c = data_[pos_];
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0') {
                problem(Problem::TextAfterEnd);
                break;
            }
        }
        finish();

        ReadResult result;
        result.complete = problems_.empty();
        QStringList sentences;
        for (Problem p : problems_) sentences << message(p);
        result.message = sentences.join(u' ');
        return result;
    }

private:
    enum class Problem { NotRtf, Truncated, TextAfterEnd, StrayBrace, OutOfRange, TooDeep };
    static constexpr std::size_t kMaxDepth = 200;

    static QString message(Problem p) {
        switch (p) {
        case Problem::NotRtf: return QStringLiteral("The file does not begin as an RTF file does.");
        case Problem::Truncated:
            return QStringLiteral("The file ends before all its groups are closed; it may have been cut short.");
        case Problem::TextAfterEnd:
            return QStringLiteral("The file has more closing braces than opening ones; text after the end of the "
                                  "document was not read.");
        case Problem::StrayBrace: return QStringLiteral("The file has a closing brace that closes no group.");
        case Problem::OutOfRange: return QStringLiteral("A number in the file was out of range and was limited.");
        case Problem::TooDeep:
            return QStringLiteral("Groups nested more than %1 deep were read as one group.").arg(kMaxDepth);
        }
        return {};
    }

    void problem(Problem p) {
        if (std::find(problems_.begin(), problems_.end(), p) == problems_.end()) problems_.push_back(p);
    }

    // ---- groups

    void openGroup() {
        flushBytes();
        skipFallback_ = 0;
        star_ = false;
        entered_ = true;
        if (stack_.size() < kMaxDepth) {
            stack_.push_back(st_);
        } else {
            ++flattened_;
            problem(Problem::TooDeep);
        }
    }

    // True when this brace closes the document's outermost group.
    bool closeGroup() {
        flushBytes();
        skipFallback_ = 0;
        star_ = false;
        if (st_.dest == Dest::FontTable) commitFont();
        if (flattened_ > 0) {
            --flattened_;
            return false;
        }
        if (stack_.empty()) {
            problem(Problem::StrayBrace);
            return false;
        }
        st_ = stack_.back();
        stack_.pop_back();
        return stack_.empty();
    }

    // ---- control words and symbols

    void control() {
        const qsizetype n = data_.size();
        if (pos_ >= n) {
            problem(Problem::Truncated);
            return;
        }
        if (!isLetter(data_[pos_])) {
            symbol(data_[pos_++]);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < n && isLetter(data_[pos_])) ++pos_;
        // Names are at most 32 letters; longer ones are unknown anyway.
        const auto length = static_cast<std::size_t>(std::min<qsizetype>(pos_ - start, 32));
        const std::string_view name(data_.constData() + start, length);
        bool hasParam = false;
        bool negative = false;
        std::int64_t value = 0;
        if (pos_ + 1 < n && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < n && isDigit(data_[pos_])) {
            hasParam = true;
            if (value <= INT_MAX) value = value * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (value > INT_MAX) {
            problem(Problem::OutOfRange);
            value = INT_MAX;
        }
        if (pos_ < n && data_[pos_] == ' ') ++pos_;
        controlWord(name, hasParam, static_cast<int>(negative ? -value : value));
    }

    void controlWord(std::string_view name, bool hasParam, int param) {
        const auto found = words().find(name);
        const Word word = found == words().end() ? Word::Char : found->second.word;
        if (found != words().end() && word == Word::Bin) {
            skipBinary(hasParam ? param : 0);
            return;
        }
        if (skipFallback_ > 0) {  // a control word in a \u fallback counts as one character
            --skipFallback_;
            return;
        }
        flushBytes();
        if (star_) {
            // Optional destinations: none is shown here.
            star_ = false;
            st_.dest = Dest::Skip;
            return;
        }
        if (found == words().end() || st_.dest == Dest::Skip) return;

        CharProps& ch = st_.chars;
        const bool on = !hasParam || param != 0;
        switch (word) {
        case Word::Ansi: ansiCodePage_ = 1252; break;
        case Word::Mac: ansiCodePage_ = 10000; break;
        case Word::Pc: ansiCodePage_ = 437; break;
        case Word::Pca: ansiCodePage_ = 850; break;
        case Word::AnsiCpg:
            if (param > 0) ansiCodePage_ = param;
            break;
        case Word::Deff:
            if (hasParam) defaultFont_ = param;
            break;
        case Word::FontTable:
            st_.dest = Dest::FontTable;
            fontOpen_ = false;
            break;
        case Word::ColourTable:
            st_.dest = Dest::ColourTable;
            component_ = {-1, -1, -1};
            break;
        case Word::SkipDest: st_.dest = Dest::Skip; break;
        case Word::Font:
            if (st_.dest == Dest::FontTable) {
                commitFont();
                fontOpen_ = true;
                fontNumber_ = param;
                fontName_.clear();
                fontCodePage_ = 0;
            } else if (hasParam) {
                ch.font = param;
            }
            break;
        case Word::Charset:
            if (st_.dest == Dest::FontTable) fontCodePage_ = codePageOfCharset(param);
            break;
        case Word::Cpg:
            if (st_.dest == Dest::FontTable && param > 0) fontCodePage_ = param;
            break;
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            if (st_.dest == Dest::ColourTable)
                component_[static_cast<int>(word) - static_cast<int>(Word::Red)] = std::clamp(param, 0, 255);
            break;
        case Word::FontSize: ch.halfPoints = param > 0 ? std::min(param, kMaxHalfPoints) : kDefaultHalfPoints; break;
        case Word::Bold: ch.bold = on; break;
        case Word::Italic: ch.italic = on; break;
        case Word::Underline: ch.underline = on; break;
        case Word::UnderlineNone: ch.underline = false; break;
        case Word::Plain: ch = CharProps{}; break;
        case Word::Colour: ch.colour = hasParam ? param : 0; break;
        case Word::Pard:
        case Word::Left: st_.align = Qt::AlignLeft; break;
        case Word::Centre: st_.align = Qt::AlignHCenter; break;
        case Word::Right: st_.align = Qt::AlignRight; break;
        case Word::Justify: st_.align = Qt::AlignJustify; break;
        case Word::Par: paragraph(); break;
        case Word::Line: unit(kLineSeparator); break;
        case Word::Tab: unit(u'\t'); break;
        case Word::Char: unit(found->second.ch); break;
        case Word::Uc:
            if (hasParam) st_.uc = std::clamp(param, 0, 255);
            break;
        case Word::Unicode:
            if (hasParam) unicode(param);
            skipFallback_ = st_.uc;
            break;
        case Word::Bin: break;
        }
    }

    void symbol(char c) {
        if (c == '\'') {
            hexByte();
            return;
        }
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (c == '\\' || c == '{' || c == '}') {
            // Kept with the bytes around them: a double-byte character may
            // end in one of these.
            star_ = false;
            if (st_.dest == Dest::Text || st_.dest == Dest::FontTable) bytes_ += c;
            return;
        }
        flushBytes();
        if (c == '*') {
            star_ = true;
            return;
        }
        star_ = false;
        if (st_.dest == Dest::Skip) return;
        switch (c) {
        case '~': unit(kNoBreakSpace); break;
        case '-': unit(kSoftHyphen); break;
        case '_': unit(kNoBreakHyphen); break;
        case '\r':
        case '\n': paragraph(); break;
        case '\t': unit(u'\t'); break;
        default: break;  // \: \| and unknown symbols
        }
    }

    void hexByte() {
        const qsizetype n = data_.size();
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos_ < n && hexValue(data_[pos_]) >= 0) {
            value = value * 16 + hexValue(data_[pos_++]);
            ++digits;
        }
        if (digits < 2 && pos_ >= n) problem(Problem::Truncated);
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        star_ = false;
        if (digits < 2) return;
        if (st_.dest == Dest::Text || st_.dest == Dest::FontTable) bytes_ += static_cast<char>(value);
    }

    void skipBinary(int count) {
        flushBytes();
        if (count <= 0) return;
        const qsizetype left = data_.size() - pos_;
        if (count > left) problem(Problem::Truncated);
        pos_ += std::min<qsizetype>(count, left);
        if (skipFallback_ > 0) --skipFallback_;
    }

    void unicode(int value) {
        if (value < 0) value += 65536;
        if (value < 0) return;
        if (value <= 0xFFFF) {
            unit(static_cast<char16_t>(value));
        } else if (value <= 0x10FFFF) {
            unit(QChar::highSurrogate(static_cast<char32_t>(value)));
            unit(QChar::lowSurrogate(static_cast<char32_t>(value)));
        } else {
            problem(Problem::OutOfRange);
        }
    }

    // ---- text

    void textByte(char c) {
        star_ = false;
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        switch (st_.dest) {
        case Dest::Skip: return;
        case Dest::ColourTable:
            if (c == ';') commitColour();
            return;
        case Dest::FontTable:
            if (c == ';') {
                flushBytes();
                commitFont();
            } else {
                bytes_ += c;
            }
            return;
        case Dest::Text:
            if (c == '\t') {
                flushBytes();
                unit(u'\t');
            } else if (static_cast<unsigned char>(c) >= 0x20) {
                bytes_ += c;
            }
            return;
        }
    }

    // Decodes the bytes read since the last control word in the code page of
    // the current font.
    void flushBytes() {
        if (bytes_.isEmpty()) return;
        // RTF's own characters are ASCII in every code page.
        if (std::all_of(bytes_.cbegin(), bytes_.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            for (char c : std::as_const(bytes_)) unit(static_cast<char16_t>(c));
            bytes_.clear();
            return;
        }
        int codePage = ansiCodePage_;
        if (st_.dest == Dest::FontTable) {
            if (fontOpen_ && fontCodePage_ > 0) codePage = fontCodePage_;
        } else {
            const auto font = fonts_.find(st_.chars.font >= 0 ? st_.chars.font : defaultFont_);
            if (font != fonts_.end() && font->second.codePage > 0) codePage = font->second.codePage;
        }
        auto decoder = decoders_.find(codePage);
        if (decoder == decoders_.end()) decoder = decoders_.emplace(codePage, decoderForCodePage(codePage)).first;
        const QString text = decoder->second.decode(bytes_);
        decoder->second.resetState();
        bytes_.clear();
        for (QChar c : text) unit(c.unicode());
    }

    // One UTF-16 unit of text; surrogates are paired here, and one without
    // its partner becomes U+FFFD.
    void unit(char16_t u) {
        if (QChar::isHighSurrogate(u)) {
            if (high_) put(kReplacement);
            high_ = u;
            return;
        }
        if (QChar::isLowSurrogate(u)) {
            if (high_) {
                put(high_);
                put(u);
                high_ = 0;
            } else {
                put(kReplacement);
            }
            return;
        }
        settleSurrogate();
        put(u);
    }

    void settleSurrogate() {
        if (!high_) return;
        high_ = 0;
        put(kReplacement);
    }

    void put(char16_t u) {
        // Control characters, paragraph separators and the markers the text
        // document gives a meaning of its own are not text here.
        const bool control = (u < 0x20 && u != u'\t') || u == 0x2029 || u == kObjectReplacement || u == 0xFDD0 ||
                             u == 0xFDD1;
        if (control) return;
        if (st_.dest == Dest::FontTable) {
            if (fontOpen_ && u != u'\t' && u != kLineSeparator) fontName_ += QChar(u);
            return;
        }
        if (st_.dest != Dest::Text) return;
        if (pendingBreak_) {
            cursor_.insertBlock();
            pendingBreak_ = false;
        }
        if (!run_.isEmpty() && runProps_ != st_.chars) flushRun();
        runProps_ = st_.chars;
        run_ += QChar(u);
        lastAlign_ = st_.align;
    }

    void flushRun() {
        if (run_.isEmpty()) return;
        cursor_.insertText(run_, charFormat(runProps_));
        run_.clear();
    }

    // Ends the paragraph: its alignment is the one in force at its mark. The
    // next block is made when text follows, so a final \par adds no empty one.
    void paragraph() {
        if (st_.dest != Dest::Text) return;
        settleSurrogate();
        flushRun();
        if (pendingBreak_) cursor_.insertBlock();
        QTextBlockFormat block = cursor_.blockFormat();
        block.setAlignment(st_.align);
        cursor_.setBlockFormat(block);
        cursor_.setBlockCharFormat(charFormat(st_.chars));
        pendingBreak_ = true;
    }

    void finish() {
        flushBytes();
        settleSurrogate();
        flushRun();
        if (!pendingBreak_) {
            QTextBlockFormat block = cursor_.blockFormat();
            block.setAlignment(lastAlign_);
            cursor_.setBlockFormat(block);
        }
    }

    QTextCharFormat charFormat(const CharProps& p) const {
        QTextCharFormat format;
        const auto font = fonts_.find(p.font >= 0 ? p.font : defaultFont_);
        if (font != fonts_.end() && !font->second.family.isEmpty()) format.setFontFamilies({font->second.family});
        format.setFontPointSize(p.halfPoints / 2.0);
        format.setFontWeight(p.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(p.italic);
        format.setFontUnderline(p.underline);
        if (p.colour > 0 && static_cast<std::size_t>(p.colour) < colours_.size() && colours_[p.colour])
            format.setForeground(*colours_[p.colour]);
        return format;
    }

    // ---- tables

    void commitFont() {
        if (!fontOpen_) return;
        fontOpen_ = false;
        fonts_[fontNumber_] = FontEntry{fontName_.trimmed(), fontCodePage_};
        fontName_.clear();
    }

    void commitColour() {
        if (component_[0] < 0 && component_[1] < 0 && component_[2] < 0) {
            colours_.emplace_back();  // the automatic colour
        } else {
            colours_.emplace_back(QColor(std::max(component_[0], 0), std::max(component_[1], 0),
                                         std::max(component_[2], 0)));
        }
        component_ = {-1, -1, -1};
    }

    struct FontEntry {
        QString family;
        int codePage = 0;  // 0: the document's
    };

    const QByteArray& data_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;

    State st_;
    std::vector<State> stack_;
    std::size_t flattened_ = 0;  // groups opened past kMaxDepth, sharing the deepest state
    bool entered_ = false;       // a group was opened
    bool star_ = false;          // \* was just read
    int skipFallback_ = 0;       // fallback characters of a \u still to skip

    int ansiCodePage_ = 1252;
    int defaultFont_ = -1;
    std::map<int, FontEntry> fonts_;
    bool fontOpen_ = false;
    int fontNumber_ = 0;
    QString fontName_;
    int fontCodePage_ = 0;
    std::vector<std::optional<QColor>> colours_;
    std::array<int, 3> component_ = {-1, -1, -1};
    std::map<int, QStringDecoder> decoders_;

    QByteArray bytes_;     // undecoded text bytes
    char16_t high_ = 0;    // a high surrogate waiting for its low one
    QString run_;          // text of one format not yet in the document
    CharProps runProps_;
    bool pendingBreak_ = false;  // a \par ended the current block
    Qt::Alignment lastAlign_ = Qt::AlignLeft;

    std::vector<Problem> problems_;
};

}  // namespace

QString toRtf(const QTextDocument& document) { return Writer(document).write(); }

ReadResult fromRtf(const QByteArray& data, QTextDocument& document) {
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    ReadResult result = Reader(data, document).read();
    document.setUndoRedoEnabled(undo);
    return result;
}

bool looksLikeRtf(const QByteArray& data) { return data.startsWith("{\\rtf"); }

}  // namespace rtf
