// libFuzzer target for the RTF codec: any bytes must read without a fault,
// and whatever was read must read back the same after it is written as RTF.
#include <QByteArray>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "shell/rtfcodec.h"

namespace {

// Each paragraph's alignment and its runs of like characters with their
// family, size, weight, slant, underline and colour.
QString summary(const QTextDocument& doc) {
    QString out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        out += QString::number(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask) + ":";
        QString last;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QFont f = format.font().resolve(doc.defaultFont());
            const QString tag = QStringLiteral("[%1|%2|%3%4%5|%6]")
                                    .arg(f.family())
                                    .arg(f.pointSizeF())
                                    .arg(f.bold())
                                    .arg(f.italic())
                                    .arg(f.underline())
                                    .arg(format.foreground().style() == Qt::NoBrush
                                             ? QStringLiteral("auto")
                                             : format.foreground().color().name());
            if (tag != last) out += tag;
            last = tag;
            out += it.fragment().text();
        }
        out += u'\n';
    }
    return out;
}

void fail(const char* what, const QString& a, const QString& b) {
    std::fprintf(stderr, "%s\n--- first\n%s\n--- second\n%s\n", what, a.toUtf8().constData(), b.toUtf8().constData());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Fonts and text formats need a GUI application; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ledgerly-fuzz-rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QTextDocument first;
    rtf::fromRtf(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), first);
    const QString written = rtf::toRtf(first);
    for (QChar c : written)
        if (c.unicode() == 0 || c.unicode() >= 0x7F) fail("not ASCII", written, {});
    QTextDocument second;
    const rtf::ReadResult again = rtf::fromRtf(written.toLatin1(), second);
    if (!again.complete) fail(again.message.toUtf8().constData(), written, {});
    const QString a = summary(first);
    const QString b = summary(second);
    if (a != b) fail("read back differently", a, b);
    return 0;
}
