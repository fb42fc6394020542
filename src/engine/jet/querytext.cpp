#include "engine/jet/querytext.h"

#include <algorithm>
#include <map>

#include "engine/error.h"

namespace engine::jet {

namespace {

enum Attribute {
    kStart = 0, kType = 1, kParameter = 2, kFlags = 3, kRemote = 4, kTable = 5, kColumn = 6, kJoin = 7,
    kWhere = 8, kGroupBy = 9, kHaving = 10, kOrderBy = 11, kEnd = 255,
};

// Bits of the flags row.
constexpr int kAllFields = 0x01, kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08, kTop = 0x10,
              kPercent = 0x20;

// Crosstab columns and groups: the value, the column heading, the row headings.
constexpr int kCrosstabValue = 0, kCrosstabPivot = 1, kCrosstabRow = 2;

constexpr const char* kLine = "\r\n";
constexpr const char* kUnionFirst = "X7YZ_____1";
constexpr const char* kUnionSecond = "X7YZ_____2";

[[noreturn]] void broken(const std::string& why) {
    throw Error(err::NotADatabase, "A saved query of the file cannot be read: " + why + ".");
}

std::string parameterType(const QueryRow& r) {
    switch (r.flag) {
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
    case 10: case 12: return "Text ( " + std::to_string(r.lvExtra > 0 ? r.lvExtra : 255) + " )";
    case 11: return "LongBinary";
    case 15: return "Guid";
    default: return "Value";
    }
}

std::string joined(const std::vector<std::string>& parts, const char* separator = ", ") {
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : separator) + p;
    return out;
}

std::string trimmedEnd(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == ';')) s.pop_back();
    return s;
}

// The rows of one attribute, in their stored order.
class Rows {
public:
    explicit Rows(std::vector<QueryRow> rows) : rows_(std::move(rows)) {
        std::stable_sort(rows_.begin(), rows_.end(), [](const QueryRow& a, const QueryRow& b) {
            return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
        });
    }
    std::vector<const QueryRow*> of(int attribute) const {
        std::vector<const QueryRow*> out;
        for (const auto& r : rows_)
            if (r.attribute == attribute) out.push_back(&r);
        return out;
    }
    const QueryRow* first(int attribute) const {
        auto rows = of(attribute);
        return rows.empty() ? nullptr : rows.front();
    }

private:
    std::vector<QueryRow> rows_;
};

// The FROM list: tables and subqueries, those joined put together in the
// order of the joins, the rest separated by commas in the order of the rows.
std::string fromClause(const Rows& rows) {
    struct Part {
        std::string text;
        bool joined = false;  // the text is a join, to be bracketed inside another
    };
    std::vector<Part> parts;
    std::map<std::string, size_t> partOf;  // a table's name (or alias) -> its part
    for (const QueryRow* t : rows.of(kTable)) {
        if (t->name2 == kUnionFirst || t->name2 == kUnionSecond) continue;
        std::string text = !t->expression.empty() ? "(" + trimmedEnd(t->expression) + ")" : t->name1;
        if (!t->name2.empty()) text += " AS " + t->name2;
        partOf[t->name2.empty() ? t->name1 : t->name2] = parts.size();
        parts.push_back({text});
    }
    // Joins between the same two tables go together, their conditions joined by AND.
    struct Join {
        std::string left, right;
        int type;
        std::vector<std::string> conditions;
    };
    std::vector<Join> joins;
    for (const QueryRow* j : rows.of(kJoin)) {
        auto same = std::find_if(joins.begin(), joins.end(),
                                 [&](const Join& x) { return x.left == j->name1 && x.right == j->name2; });
        if (same != joins.end()) same->conditions.push_back(j->expression);
        else joins.push_back({j->name1, j->name2, j->flag, {j->expression}});
    }
    std::vector<bool> gone(parts.size(), false);
    for (const Join& j : joins) {
        auto l = partOf.find(j.left), r = partOf.find(j.right);
        if (l == partOf.end() || r == partOf.end()) broken("a join names a table the query does not have");
        const size_t a = l->second, b = r->second;
        if (a == b) broken("a join links a table with itself");
        const char* kind = j.type == 2 ? " LEFT JOIN " : j.type == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        std::string on;
        if (j.conditions.size() == 1) on = j.conditions.front();
        else
            for (const auto& c : j.conditions) on += (on.empty() ? "(" : " AND (") + c + ")";
        auto side = [](const Part& p) { return p.joined ? "(" + p.text + ")" : p.text; };
        // The join takes the place of the earlier of its two parts.
        const size_t keep = std::min(a, b), drop = std::max(a, b);
        parts[keep] = {side(parts[a]) + kind + side(parts[b]) + " ON " + on, true};
        gone[drop] = true;
        for (auto& [name, index] : partOf)
            if (index == drop) index = keep;
    }
    std::vector<std::string> list;
    for (size_t i = 0; i < parts.size(); ++i)
        if (!gone[i]) list.push_back(parts[i].text);
    return joined(list);
}

std::string column(const QueryRow& c) { return c.name1.empty() ? c.expression : c.expression + " AS " + c.name1; }

}  // namespace

RebuiltQuery rebuildQuery(std::vector<QueryRow> input) {
    const Rows rows(std::move(input));
    const QueryRow* type = rows.first(kType);
    if (!type) broken("it has no type");
    RebuiltQuery out;
    static const std::map<int, int> kinds = {
        {1, kSelectQuery}, {2, kMakeTableQuery}, {3, kAppendQuery},         {4, kUpdateQuery},      {5, kDeleteQuery},
        {6, kCrosstabQuery}, {7, kDataDefinitionQuery}, {8, kPassThroughQuery}, {9, kUnionQuery},
    };
    auto kind = kinds.find(type->flag);
    if (kind == kinds.end()) broken("its type " + std::to_string(type->flag) + " is unknown");
    out.kind = kind->second;
    if (out.kind == kDataDefinitionQuery || out.kind == kPassThroughQuery) {
        // Kept as typed.
        out.sql = type->expression;
        if (out.kind == kPassThroughQuery) out.connect = type->name1;
        return out;
    }

    const QueryRow* flagsRow = rows.first(kFlags);
    const int flags = flagsRow ? flagsRow->flag : 0;
    std::vector<std::string> lines;

    std::vector<std::string> parameters;
    for (const QueryRow* p : rows.of(kParameter)) parameters.push_back("[" + p->name1 + "] " + parameterType(*p));
    if (!parameters.empty()) lines.push_back("PARAMETERS " + joined(parameters) + ";");

    std::string ownerAccess = flags & kOwnerAccess ? std::string(kLine) + "WITH OWNERACCESS OPTION" : "";
    auto orderBy = [&] {
        std::vector<std::string> sorts;
        for (const QueryRow* o : rows.of(kOrderBy)) sorts.push_back(o->expression + (o->name1 == "D" ? " DESC" : ""));
        if (!sorts.empty()) lines.push_back("ORDER BY " + joined(sorts));
    };

    if (out.kind == kUnionQuery) {
        std::string first, second;
        for (const QueryRow* t : rows.of(kTable)) {
            if (t->name2 == kUnionFirst) first = t->expression;
            if (t->name2 == kUnionSecond) second = t->expression;
        }
        if (first.empty() || second.empty()) broken("a union lacks one of its parts");
        lines.push_back(trimmedEnd(first));
        lines.push_back(std::string(flags & kDistinct ? "UNION " : "UNION ALL ") + trimmedEnd(second));
        orderBy();
        out.sql = joined(lines, kLine) + ownerAccess + ";";
        return out;
    }

    std::string remote;
    if (const QueryRow* r = rows.first(kRemote)) {
        remote = " IN '" + r->name1 + "'";
        if (!r->expression.empty()) remote += " [" + r->expression + "]";
    }
    const bool crosstab = out.kind == kCrosstabQuery;
    std::vector<std::string> columns, targets, assignments;
    std::string value, pivot;
    for (const QueryRow* c : rows.of(kColumn)) {
        if (crosstab && c->flag == kCrosstabValue) value = column(*c);
        else if (crosstab && c->flag == kCrosstabPivot) pivot = c->expression;
        else columns.push_back(column(*c));
        if (!c->name2.empty()) {
            targets.push_back(c->name2);
            assignments.push_back(c->name2 + " = " + c->expression);
        }
    }
    std::string select = "SELECT ";
    if (flags & kDistinct) select += "DISTINCT ";
    if (flags & kDistinctRow) select += "DISTINCTROW ";
    if (flags & kTop) select += "TOP " + (flagsRow ? flagsRow->name1 : std::string()) + (flags & kPercent ? " PERCENT " : " ");
    std::string list = joined(columns);
    if (flags & kAllFields) list = list.empty() ? "*" : "*, " + list;
    select += list;

    const std::string from = fromClause(rows);
    const std::string target = type->name1;
    switch (out.kind) {
    case kCrosstabQuery:
        lines.push_back("TRANSFORM " + value);
        lines.push_back(select);
        lines.push_back("FROM " + from + remote);
        break;
    case kMakeTableQuery:
        lines.push_back(select + " INTO " + target + remote);
        lines.push_back("FROM " + from);
        break;
    case kAppendQuery:
        lines.push_back("INSERT INTO " + target + remote + (targets.empty() ? "" : " ( " + joined(targets) + " )"));
        lines.push_back(select);
        lines.push_back("FROM " + from);
        break;
    case kUpdateQuery:
        lines.push_back("UPDATE " + from + remote + " SET " + joined(assignments));
        break;
    case kDeleteQuery:
        lines.push_back("DELETE " + (list.empty() ? std::string("*") : list));
        lines.push_back("FROM " + from + remote);
        break;
    default:
        lines.push_back(select);
        lines.push_back("FROM " + from + remote);
    }
    if (const QueryRow* w = rows.first(kWhere)) lines.push_back("WHERE " + w->expression);
    std::vector<std::string> groups;
    for (const QueryRow* g : rows.of(kGroupBy))
        if (!crosstab || g->flag != kCrosstabPivot) groups.push_back(g->expression);
    if (!groups.empty()) lines.push_back("GROUP BY " + joined(groups));
    if (const QueryRow* h = rows.first(kHaving)) lines.push_back("HAVING " + h->expression);
    orderBy();
    if (crosstab) lines.push_back("PIVOT " + pivot);
    out.sql = joined(lines, kLine) + ownerAccess + ";";
    return out;
}

}  // namespace engine::jet
