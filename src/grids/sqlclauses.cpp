#include "grids/sqlclauses.h"

namespace {

// 1-based position of the last occurrence, 0 when absent (plain, case-sensitive).
int lastPos(const QString& text, const QString& what) {
    int p = text.lastIndexOf(what);
    return p < 0 ? 0 : p + 1;
}

QString left(const QString& s, int n) { return s.left(std::max(0, n)); }
QString right(const QString& s, int n) { return n <= 0 ? QString() : s.right(n); }
// Mid(s, start, length), 1-based; a negative length (keyword order reversed) gives "".
QString mid(const QString& s, int start, int length) { return length <= 0 ? QString() : s.mid(start - 1, length); }

}  // namespace

SqlClauses SqlClauses::parse(const QString& original) {
    SqlClauses out;
    QString s = original;
    int semi = lastPos(s, ";");
    if (semi > 0) s = s.left(semi - 1);
    out.source = s;
    // Keywords are found and cut in the same text: the trimmed one, so that
    // blanks or line breaks typed before the SQL do not shift the cuts.
    QString t = s.trimmed();
    int L = t.length();
    QString upper = t.toUpper();
    int W = lastPos(upper, "WHERE");
    int O = lastPos(upper, "ORDER BY");
    int G = lastPos(upper, "GROUP BY");
    if (W == 0 && O == 0 && G == 0) {
        out.selectFrom = t;
    } else if (W == 0 && O == 0) {
        out.selectFrom = left(t, G - 1);
        out.rest = right(t, L - G + 1) + " ";
    } else if (W == 0) {
        out.selectFrom = left(t, O - 1);
        out.rest = right(t, L - O + 1) + " ";
    } else if (O > 0) {
        out.selectFrom = left(t, W - 1);
        out.where = mid(t, W, O - W).trimmed() + " ";
        out.rest = right(t, L - O + 1) + " ";
    } else if (G > 0) {
        out.selectFrom = left(t, W - 1);
        out.where = mid(t, W, G - W).trimmed() + " ";
        out.rest = right(t, L - G + 1) + " ";
    } else {
        out.selectFrom = left(t, W - 1);
        out.where = right(t, L - W + 1) + " ";
    }
    return out;
}

QString SqlClauses::join(const QString& selectFrom, const QString& where, const QString& rest) {
    return (selectFrom + " " + where + " " + rest).trimmed();
}
