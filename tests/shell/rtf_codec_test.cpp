// The RTF codec of the document window: documents written and read back
// through a file keep their text and formatting; files in the forms other word
// processors write read as they show there; damaged input opens as far as it
// can be read, with a message.
#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/rtfcodec.h"
#include "support/tempdir.h"

namespace {

QString alignName(Qt::Alignment a) {
    if (a & Qt::AlignHCenter) return "center";
    if (a & Qt::AlignJustify) return "justify";
    if (a & Qt::AlignRight) return "right";
    return "left";
}

// One line per paragraph: its alignment, then each run of like characters as
// [family size b i u colour] and its text.
QStringList describe(const QTextDocument& doc) {
    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QString line = alignName(block.blockFormat().alignment()) + ": ";
        QString last;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QFont f = format.font().resolve(doc.defaultFont());
            QString tag = "[" + f.family() + " " + QString::number(f.pointSizeF());
            if (f.bold()) tag += " b";
            if (f.italic()) tag += " i";
            if (f.underline()) tag += " u";
            if (format.foreground().style() != Qt::NoBrush) tag += " " + format.foreground().color().name();
            tag += "]";
            if (tag != last) line += tag;
            last = tag;
            line += it.fragment().text();
        }
        lines << line;
    }
    return lines;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// ---------------------------------------------------------------- round trips

struct F {
    QTextCharFormat f;
    F& family(const QString& s) { f.setFontFamilies({s}); return *this; }
    F& size(double points) { f.setFontPointSize(points); return *this; }
    F& bold() { f.setFontWeight(QFont::Bold); return *this; }
    F& italic() { f.setFontItalic(true); return *this; }
    F& underline() { f.setFontUnderline(true); return *this; }
    F& colour(QRgb rgb) { f.setForeground(QColor(rgb)); return *this; }
    operator QTextCharFormat() const { return f; }
};

struct TextRun { QString text; QTextCharFormat format; };
struct Para { Qt::Alignment align; std::vector<TextRun> runs; };
struct RoundTrip { std::string name; std::vector<Para> paragraphs; };

const Qt::Alignment L = Qt::AlignLeft;

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }
class RtfRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RtfRoundTrip, KeepsTextAndFormattingThroughAFile) {
    QTextDocument original;
    QTextCursor cursor(&original);
    bool first = true;
    for (const Para& p : GetParam().paragraphs) {
        if (!first) cursor.insertBlock();
        first = false;
        QTextBlockFormat block;
        block.setAlignment(p.align);
        cursor.setBlockFormat(block);
        for (const TextRun& r : p.runs) cursor.insertText(r.text, r.format);
    }
    const QByteArray written = rtf::toRtf(original).toLatin1();
    EXPECT_TRUE(rtf::looksLikeRtf(written));
    EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](char c) { return c > 0 && c < 0x7F; }))
        << written.data();

    TempDir dir;
    const QString path = QString::fromStdString(dir.file("doc.rtf"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(written);
    out.close();

    QTextDocument read;
    const rtf::ReadResult result = rtf::fromRtf(readFile(path), read);
    EXPECT_TRUE(result.complete) << result.message.toStdString();
    EXPECT_EQ(describe(read), describe(original)) << written.data();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RtfRoundTrip,
    ::testing::Values(
        RoundTrip{"Plain", {{L, {{"Plain text", F()}}}}},
        RoundTrip{"Families", {{L, {{"Serif ", F().family("DejaVu Serif")}, {"mono", F().family("DejaVu Sans Mono")},
                                    {" 中", F().family("Noto Sans CJK 中文")}}}}},
        RoundTrip{"Sizes", {{L, {{"eight ", F().size(8)}, {"half ", F().size(10.5)}, {"big", F().size(72)}}}}},
        RoundTrip{"Styles", {{L, {{"bold ", F().bold()}, {"italic ", F().italic()}, {"under ", F().underline()},
                                  {"all", F().bold().italic().underline()}, {" none", F()}}}}},
        RoundTrip{"Colours", {{L, {{"red ", F().colour(0xff0000)}, {"auto ", F()}, {"blue", F().colour(0x123456)},
                                   {" red", F().colour(0xff0000).bold()}}}}},
        RoundTrip{"Alignments", {{Qt::AlignLeft, {{"left", F()}}}, {Qt::AlignHCenter, {{"centre", F()}}},
                                 {Qt::AlignRight, {{"right", F()}}}, {Qt::AlignJustify, {{"justified", F()}}}}},
        RoundTrip{"Paragraphs", {{L, {}}, {L, {{"after an empty one", F()}}}, {L, {}}, {Qt::AlignHCenter, {}}}},
        RoundTrip{"NonAscii", {{L, {{"é € 中文 😀 Ωμέγα", F()}}}}},
        RoundTrip{"Escapes", {{L, {{"\\ { } a\tb\u2028c\u00a0d\u00ade\u2011f", F()},
                                   {"12 after a word, { then space", F().bold()}, {"  two spaces", F()}}}}}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------- other writers' files

struct Sample { std::string file; QStringList expected; };
void PrintTo(const Sample& c, std::ostream* os) { *os << c.file; }
class RtfSample : public ::testing::TestWithParam<Sample> {};

TEST_P(RtfSample, ReadsAsTheWriterShowsIt) {
    QTextDocument doc;
    doc.setPlainText("replaced");
    const QString path = LEDGERLY_TEST_DATA "/rtf/" + QString::fromStdString(GetParam().file);
    const rtf::ReadResult result = rtf::fromRtf(readFile(path), doc);
    EXPECT_TRUE(result.complete) << result.message.toStdString();
    EXPECT_EQ(describe(doc), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RtfSample,
    ::testing::Values(
        Sample{"wordpad.rtf",
               {"center: [Arial 16 b]Café Menu", "left: [Calibri 11]Espresso\t[Calibri 11 #ff0000]€2.50",
                "left: [Calibri 11 i]Crème brûlée[Calibri 11] with [Calibri 11 u]berries[Calibri 11]."}},
        Sample{"word.rtf",
               {"center: [Arial 16 b]Quarterly report",
                "left: [Times New Roman 12]Sales rose [Times New Roman 12 u #0000ff]12%[Times New Roman 12] – see "
                "[Times New Roman 12 #c0504d]the chart[Times New Roman 12].",
                "justify: [Arial Cyr 12 i]Привет[Times New Roman 12]中文 😀"}},
        Sample{"codepages.rtf", {"left: [Courier New 12]Мир да", "left: [ＭＳ 明朝 12]あい[Greek Font 12]α"}}),
    [](const auto& info) { return info.param.file.substr(0, info.param.file.find('.')); });

// ---------------------------------------------------------------- read cases

const std::string kHead = R"({\rtf1\ansi\deff0{\fonttbl{\f0 Serif;}}{\colortbl;\red255\green0\blue0;})";
std::string whole(const std::string& body) { return kHead + body + "}"; }

struct ReadCase {
    std::string name;
    std::string rtf;
    QStringList expected;
    QString problem = {};  // part of the message; empty when the input is sound
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
class RtfRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RtfRead, OpensWhatCanBeRead) {
    const ReadCase& c = GetParam();
    QTextDocument doc;
    const rtf::ReadResult result = rtf::fromRtf(QByteArray::fromStdString(c.rtf), doc);
    EXPECT_EQ(describe(doc), c.expected);
    EXPECT_EQ(result.complete, c.problem.isEmpty());
    if (c.problem.isEmpty()) EXPECT_EQ(result.message, "");
    else EXPECT_TRUE(result.message.contains(c.problem)) << result.message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sound, RtfRead,
    ::testing::Values(
        ReadCase{"UnicodeSkipCounts", whole(R"({\uc0\u233 x}{\uc2\u20013\'d6\'d0}\u233?y\u8364\'80z)"),
                 {"left: [Serif 12]éx中éy€z"}},
        ReadCase{"Surrogates", whole(R"(\u-10179?\u-8704? \u-10179?x\u-8704?)"), {"left: [Serif 12]😀 �x�"}},
        ReadCase{"CodePages", whole("caf\xe9 \\'80\\ansicpg1251 \\'c0"), {"left: [Serif 12]café €А"}},
        ReadCase{"Paragraphs", whole(R"(One\par\par Three\par)"),
                 {"left: [Serif 12]One", "left: ", "left: [Serif 12]Three"}},
        ReadCase{"AlignmentAtTheMark", whole(R"(\qc C\par R\qr\par\pard L\par\qj J)"),
                 {"center: [Serif 12]C", "right: [Serif 12]R", "left: [Serif 12]L", "justify: [Serif 12]J"}},
        ReadCase{"GroupsAndResets", whole(R"({\b\i bold} plain \b\ul x\plain y \cf1 red\cf0  auto \cf9 none)"),
                 {"left: [Serif 12 b i]bold[Serif 12] plain [Serif 12 b u]x[Serif 12]y [Serif 12 #ff0000]red"
                  "[Serif 12] auto none"}},
        ReadCase{"Underlines", whole(R"(\ulw a\ulnone b\uldb c\ul0 d\ulc5 e)"),
                 {"left: [Serif 12 u]a[Serif 12]b[Serif 12 u]c[Serif 12]de"}},
        ReadCase{"Symbols", whole("a\\~b\\-c\\_d\\\\e\\{f\\}g\\line h\\tab i\tj\\emdash\\lquote q\\rquote"),
                 {"left: [Serif 12]a\u00a0b\u00adc\u2011d\\e{f}g\u2028h\ti\tj—‘q’"}},
        ReadCase{"SkippedDestinations",
                 whole(R"({\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}} {\*\unknown hidden}{\pict 0a1b})"
                       R"({\stylesheet{\s1 style;}}{\info{\title t}}{\header h\par}{\pict\bin4 }}{{})"
                       R"({\object{\objclass P}{\objdata 01}{\result obj }}shown)"),
                 {"left: [Serif 12]link obj shown"}}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Damaged, RtfRead,
    ::testing::Values(
        ReadCase{"CutInAGroup", kHead + R"(Hello {\b wor)", {"left: [Serif 12]Hello [Serif 12 b]wor"}, "cut short"},
        ReadCase{"CutInAControlWord", kHead + R"(Hi\)", {"left: [Serif 12]Hi"}, "cut short"},
        ReadCase{"CutInAHexByte", kHead + R"(Caf\'e)", {"left: [Serif 12]Caf"}, "cut short"},
        ReadCase{"BinaryPastTheEnd", kHead + R"(A\bin99999 xyz)", {"left: [Serif 12]A"}, "cut short"},
        ReadCase{"ExtraClosingBrace", whole("One}} Two"), {"left: [Serif 12]One"}, "more closing braces"},
        ReadCase{"HugeNumbers", whole(R"(\fs4294967296 Big\b99999999999 Bold\uc99999999999 y)"),
                 {"left: [Serif 1638]Big[Serif 1638 b]Boldy"}, "out of range"},
        ReadCase{"UnicodePastTheLastCodePoint", whole(R"(a\u1114112?b)"), {"left: [Serif 12]ab"}, "out of range"},
        ReadCase{"DeepNestingFlattened", whole("a" + std::string(300, '{') + "\\b deep" + std::string(300, '}') + "z"),
                 {"left: [Serif 12]a[Serif 12 b]deep[Serif 12]z"}, "nested more than 200"},
        ReadCase{"DeepNestingUnclosed", kHead + std::string(100000, '{') + "x", {"left: [Serif 12]x"}, "cut short"}),
    [](const auto& info) { return info.param.name; });

TEST(RtfCodec, TextThatIsNotRtfOpensAsTextWithAMessage) {
    EXPECT_TRUE(rtf::looksLikeRtf("{\\rtf1\\ansi x}"));
    for (const char* notRtf : {"", "{\\rt", " {\\rtf1", "rtf", "{\\RTF1"}) EXPECT_FALSE(rtf::looksLikeRtf(notRtf)) << notRtf;

    QTextDocument doc;
    rtf::ReadResult result = rtf::fromRtf("Just text", doc);
    EXPECT_EQ(doc.toPlainText(), "Just text");
    EXPECT_FALSE(result.complete);
    EXPECT_TRUE(result.message.contains("does not begin")) << result.message.toStdString();
    result = rtf::fromRtf("", doc);
    EXPECT_EQ(doc.toPlainText(), "");
    EXPECT_FALSE(result.complete);
}

}  // namespace
