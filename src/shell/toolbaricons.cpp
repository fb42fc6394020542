#include "shell/toolbaricons.h"

#include <QPainter>
#include <QPixmap>

namespace ToolbarIcons {

namespace {

struct Entry {
    const char* key;
    const char* themeName;
};

constexpr Entry kEntries[] = {
    {"New", "document-new"},           {"Open", "document-open"},
    {"Save", "document-save"},         {"Print", "document-print"},
    {"Cut", "edit-cut"},               {"Copy", "edit-copy"},
    {"Paste", "edit-paste"},           {"Bold", "format-text-bold"},
    {"Italic", "format-text-italic"},  {"Underline", "format-text-underline"},
    {"Align Left", "format-justify-left"}, {"Center", "format-justify-center"},
    {"Align Right", "format-justify-right"},
};

// A drawn 16 by 16 image, so that no button is ever blank.
QIcon drawn(const QString& key) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    if (key.startsWith("Align") || key == "Center") {
        const int widths[] = {12, 8, 12, 8};
        for (int i = 0; i < 4; ++i) {
            int w = widths[i];
            int x = key == "Align Left" ? 2 : key == "Align Right" ? 14 - w : (16 - w) / 2;
            p.drawLine(x, 3 + i * 3, x + w, 3 + i * 3);
        }
        return QIcon(pm);
    }
    QFont f("Sans", 9);
    QString text = key.left(1);
    if (key == "Bold") f.setBold(true);
    if (key == "Italic") f.setItalic(true);
    if (key == "Underline") f.setUnderline(true);
    if (key == "Cut" || key == "Copy" || key == "Paste" || key == "Print") text = key.left(2);
    if (key == "New" || key == "Open" || key == "Save" || key == "Print" || key == "Copy" || key == "Paste") {
        p.drawRect(1, 1, 13, 13);
        f.setPointSize(7);
    }
    p.setFont(f);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return QIcon(pm);
}

}  // namespace

QIcon icon(const QString& key) {
    for (const Entry& e : kEntries)
        if (key == e.key) {
            QIcon themed = QIcon::fromTheme(e.themeName);
            return themed.isNull() ? drawn(key) : themed;
        }
    return drawn(key);
}

bool isFormatKey(const QString& key) {
    return key == "Bold" || key == "Italic" || key == "Underline" || key == "Align Left" || key == "Center" ||
           key == "Align Right";
}

}  // namespace ToolbarIcons
