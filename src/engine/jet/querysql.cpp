#include "engine/jet/querysql.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include "engine/error.h"
#include "engine/fieldtypes.h"

namespace engine::jet {

namespace {

enum Part { Kind = 1, Parameter = 2, Options = 3, TablePart = 5, ColumnPart = 6, Join = 7, Where = 8, GroupBy = 9,
            Having = 10, OrderBy = 11, Start = 0, End = 255 };
// Clauses go on lines of their own, as the file's product shows a statement.
const std::string kBreak = "\r\n";
// The kind of a pass-through query (the flag of its kind part).
constexpr int PassThroughKind = 8;
// Bits of the options part.
constexpr int kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08, kTop = 0x10, kPercent = 0x20;

[[noreturn]] void unsupported(const SavedQuery& q, const std::string& what) {
    throw Error(err::OperationNotSupported, "Saved query '" + q.name + "' was not converted: " + what + ".");
}

// A name as the dialect writes it: bracketed unless it is a plain word.
std::string quoted(const std::string& name) {
    bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (unsigned char ch : name)
        if (!(std::isalnum(ch) || ch == '_')) plain = false;
    return plain ? name : "[" + name + "]";
}

// A parameter's type as the file's product writes it, from its stored code.
std::string parameterType(int code) {
    switch (code) {
    case 0: return "Value";
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 10: return "Text";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    default: return {};
    }
}

// Tables joined so far: the names they hold and their text.
struct Source {
    std::set<std::string> names;
    std::string text;
    bool joined = false;
};

// A stored text without the blanks, semicolon and terminating zero after it.
std::string trimmed(std::string text) {
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';' || text.back() == '\0'))
        text.pop_back();
    return text;
}

// A union keeps the text of its two parts; the options say UNION (0x02) or
// UNION ALL, and a sort may follow.
std::string unionSql(const SavedQuery& q) {
    std::string first, second, orderBy;
    int options = 0;
    for (const QueryPart& p : q.parts) {
        if (p.attribute == TablePart && p.name2 == "X7YZ_____1") first = trimmed(p.expression);
        else if (p.attribute == TablePart && p.name2 == "X7YZ_____2") second = trimmed(p.expression);
        else if (p.attribute == Options) options = p.flag;
        else if (p.attribute == OrderBy)
            orderBy += (orderBy.empty() ? kBreak + "ORDER BY " : ", ") + p.expression + (p.name1 == "D" ? " DESC" : "");
    }
    if (first.empty() || second.empty()) unsupported(q, "a part of its union is missing");
    return first + kBreak + ((options & kDistinct) ? "UNION " : "UNION ALL ") + second + orderBy + ";";
}

}  // namespace

std::string queryConnect(const SavedQuery& q) {
    if (q.kind != PassThroughKind) return {};
    for (const QueryPart& p : q.parts)
        if (p.attribute == Kind && !trimmed(p.name1).empty()) return p.name1;
    return "ODBC;";
}

std::string querySql(const SavedQuery& q) {
    enum { Select = 1, MakeTable = 2, Append = 3, Update = 4, Delete = 5, Crosstab = 6, DataDefinition = 7, Union = 9 };
    if ((q.kind < Select || q.kind > Crosstab) && q.kind != DataDefinition && q.kind != PassThroughKind &&
        q.kind != Union)
        unsupported(q, "its kind (" + std::to_string(q.kind) + ") is not known");
    if (q.kind == Union) return unionSql(q);
    // A crosstab marks its columns and groups: the value, the column heading, the row headings.
    enum { CrosstabValue = 0, CrosstabPivot = 1 };
    const bool crosstab = q.kind == Crosstab;
    std::string value, pivot;
    std::string target;  // the table a make-table or append query writes
    for (const QueryPart& p : q.parts)
        if (p.attribute == Kind) {
            if (q.kind == DataDefinition) return trimmed(p.expression) + ";";
            // A pass-through query's text is its data source's: only the blanks and zeros after it go.
            if (q.kind == PassThroughKind) {
                std::string text = p.expression;
                while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == '\0'))
                    text.pop_back();
                return text;
            }
            if (!p.expression.empty()) unsupported(q, "it writes to another file");
            target = p.name1;
        }
    std::vector<std::string> columns, targets, parameters, where, groupBy, having, orderBy;
    std::vector<Source> sources;
    struct JoinPart {
        std::string left, right;
        int type;
        std::vector<std::string> conditions;
    };
    std::vector<JoinPart> joins;
    int options = 0;
    std::string top;
    for (const QueryPart& p : q.parts) {
        switch (p.attribute) {
        case Start:
        case End:
        case Kind: break;
        case Options:
            options = p.flag;
            top = p.name1;
            break;
        case Parameter: {
            std::string type = parameterType(p.flag);
            if (type.empty()) unsupported(q, "parameter '" + p.name1 + "' has a type of its own");
            parameters.push_back("[" + p.name1 + "] " + type);
            break;
        }
        case TablePart:
            if (!p.expression.empty()) unsupported(q, "it reads a table of another file");
            sources.push_back({{p.name2.empty() ? p.name1 : p.name2},
                               quoted(p.name1) + (p.name2.empty() ? "" : " AS " + quoted(p.name2)), false});
            break;
        case ColumnPart:
            if (crosstab && p.flag == CrosstabValue) {
                value = p.expression + (p.name1.empty() ? "" : " AS " + quoted(p.name1));
                break;
            }
            if (crosstab && p.flag == CrosstabPivot) {
                pivot = p.expression;
                break;
            }
            columns.push_back(p.expression + (p.name1.empty() ? "" : " AS " + quoted(p.name1)));
            targets.push_back(p.name2);  // the field an append or update query sets
            break;
        case Join: {
            // Several parts joining the same two tables make one join on all their conditions.
            bool merged = false;
            for (auto& j : joins)
                if (j.left == p.name1 && j.right == p.name2 && j.type == p.flag) {
                    j.conditions.push_back(p.expression);
                    merged = true;
                }
            if (!merged) joins.push_back({p.name1, p.name2, p.flag, {p.expression}});
            break;
        }
        case Where: where.push_back(p.expression); break;
        case GroupBy:
            if (!crosstab || p.flag != CrosstabPivot) groupBy.push_back(p.expression);
            break;
        case Having: having.push_back(p.expression); break;
        case OrderBy: orderBy.push_back(p.expression + (p.name1 == "D" ? " DESC" : "")); break;
        default: unsupported(q, "it has a part of kind " + std::to_string(p.attribute));
        }
    }
    if (columns.empty() || sources.empty()) unsupported(q, "it names no fields or no tables");
    if (crosstab && (value.empty() || pivot.empty())) unsupported(q, "its crosstab has no value or no column heading");
    for (const JoinPart& j : joins) {
        auto find = [&](const std::string& name) {
            for (size_t i = 0; i < sources.size(); ++i)
                if (sources[i].names.count(name)) return static_cast<int>(i);
            return -1;
        };
        int l = find(j.left), r = find(j.right);
        if (l < 0 || r < 0 || l == r) unsupported(q, "its joins cannot be read");
        const char* kind = j.type == 2 ? " LEFT JOIN " : j.type == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        std::string on;
        for (const auto& c : j.conditions)
            on += (on.empty() ? "" : " AND ") + (j.conditions.size() > 1 ? "(" + c + ")" : c);
        Source& left = sources[static_cast<size_t>(l)];
        Source right = sources[static_cast<size_t>(r)];
        left.text = (left.joined ? "(" + left.text + ")" : left.text) + kind +
                    (right.joined ? "(" + right.text + ")" : right.text) + " ON " + on;
        left.names.insert(right.names.begin(), right.names.end());
        left.joined = true;
        sources.erase(sources.begin() + r);
    }
    auto list = [](const std::vector<std::string>& items, const char* sep) {
        std::string out;
        for (const auto& i : items) out += (out.empty() ? "" : sep) + i;
        return out;
    };
    std::vector<std::string> from;
    for (const auto& s : sources) from.push_back(s.text);
    std::string sql = parameters.empty() ? "" : "PARAMETERS " + list(parameters, ", ") + ";" + kBreak;
    if (q.kind == Update) {
        std::vector<std::string> sets;
        for (const QueryPart& p : q.parts)
            if (p.attribute == ColumnPart) {
                if (p.name2.empty()) unsupported(q, "it sets a field it does not name");
                sets.push_back(p.name2 + " = " + p.expression);
            }
        sql += "UPDATE " + list(from, ", ") + " SET " + list(sets, ", ");
        if (!where.empty()) sql += kBreak + "WHERE " + list(where, " AND ");
        return sql + ";";
    }
    if (q.kind == Delete) {
        sql += "DELETE " + list(columns, ", ") + kBreak + "FROM " + list(from, ", ");
        if (!where.empty()) sql += kBreak + "WHERE " + list(where, " AND ");
        return sql + ";";
    }
    if (q.kind == Append) {
        sql += "INSERT INTO " + quoted(target);
        if (std::none_of(targets.begin(), targets.end(), [](const std::string& t) { return t.empty(); }))
            sql += " ( " + list(targets, ", ") + " )";
        sql += kBreak;
    }
    if (crosstab) sql += "TRANSFORM " + value + kBreak;
    sql += "SELECT ";
    if (options & kDistinct) sql += "DISTINCT ";
    if (options & kDistinctRow) sql += "DISTINCTROW ";
    if (options & kTop) sql += "TOP " + top + ((options & kPercent) ? " PERCENT " : " ");
    sql += list(columns, ", ");
    if (q.kind == MakeTable) sql += " INTO " + quoted(target);
    sql += kBreak + "FROM " + list(from, ", ");
    if (!where.empty()) sql += kBreak + "WHERE " + list(where, " AND ");
    if (!groupBy.empty()) sql += kBreak + "GROUP BY " + list(groupBy, ", ");
    if (!having.empty()) sql += kBreak + "HAVING " + list(having, " AND ");
    if (!orderBy.empty()) sql += kBreak + "ORDER BY " + list(orderBy, ", ");
    if (crosstab) sql += kBreak + "PIVOT " + pivot;
    if (options & kOwnerAccess) sql += kBreak + "WITH OWNERACCESS OPTION";
    return sql + ";";
}

}  // namespace engine::jet
