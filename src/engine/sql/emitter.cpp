#include "engine/sql/emitter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/functions.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"
#include "engine/variant.h"

namespace engine::sql {

using namespace ast;

namespace {

constexpr int kUndefinedFunction = 3085;
constexpr int kAmbiguousField = 3079;
constexpr int kAggregateInWhere = 3096;
constexpr int kCircularReference = 3103;
constexpr int kUnionColumnCount = 3307;
constexpr int kSubqueryFields = 3306;
constexpr int kUnknownInsertField = 3127;
constexpr int kValueCount = 3346;
constexpr int kNotUpdatable = 3073;
constexpr int kSelectNotRunnable = 3065;
constexpr int kNotGrouped = 3122;

bool isTextType(int t) { return t == dbText || t == dbMemo || t == dbChar; }
bool isNumberType(int t) {
    switch (t) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbBigInt: case dbCurrency:
    case dbSingle: case dbDouble: case dbNumeric: case dbDecimal: case dbFloat: return true;
    default: return false;
    }
}

// The type of a + b, a * b... over two numeric types (0 when not known).
int numericResult(int a, int b) {
    if (a == 0 || b == 0) return 0;
    auto rank = [](int t) {
        switch (t) {
        case dbBoolean: case dbByte: case dbInteger: return 1;
        case dbLong: return 2;
        case dbBigInt: return 3;
        case dbSingle: return 4;
        case dbCurrency: return 6;
        case dbDecimal: case dbNumeric: return 7;
        default: return 5;  // Double and anything else read as a number
        }
    };
    int r = std::max(rank(a), rank(b));
    if (r == 4 && (rank(a) < 4 && rank(b) < 4)) r = 5;
    switch (r) {
    case 1: return dbInteger;
    case 2: return dbLong;
    case 3: return dbBigInt;
    case 4: return (a == dbSingle && b == dbSingle) ? dbSingle : dbDouble;
    case 6: return dbCurrency;
    case 7: return dbDecimal;
    default: return dbDouble;
    }
}

struct Source {
    std::string name;       // how the statement names it: alias or table name; "" when unnamed
    std::string ref;        // quoted alias used in emitted SQL; "" to leave columns unqualified
    std::vector<ColumnInfo> columns;
    bool baseTable = false; // a stored table: its text columns carry NOCASE and its indexes
    std::string tableName;  // engine name of a stored table
    std::string rowid = "rowid";  // SQLite's name for its row key
};

struct Scope {
    Scope* outer = nullptr;
    int depth = 0;  // 0 for the statement, 1 for a subquery in it...
    std::vector<Source> sources;
    std::vector<std::pair<std::string, const Expr*>> aliases;  // select-list aliases
};

struct Out {
    std::string sql;
    int type = 0;
    bool cond = false;        // a SQLite truth value (1/0/Null) rather than our -1/0
    bool column = false;      // a plain column of a stored table
    std::string columnName;   // plain column of any source: its name
    std::string sourceName;   // and the name its source goes by
    int precision = 0, scale = 0;  // plain Decimal column: its recorded digits
};

struct QueryOut {
    std::string sql;
    std::vector<OutputColumn> columns;
    bool addressable = false;
    std::string baseTable, baseAlias, selectList, fromClause, whereClause, orderBy;
};

// A value of the enclosing statement joined into a domain function's criteria
// text with &; the built text names it by a placeholder.
struct Splice {
    std::string name;
    Out value;
    bool used = false;
};

// Text known when the statement is prepared: a text literal, or such literals joined by &.
std::optional<std::string> constantText(const Expr& e) {
    if (e.kind == Expr::Kind::Literal && e.lit == Expr::Lit::Text) return e.text;
    if (e.kind == Expr::Kind::Binary && e.text == "&") {
        std::string out;
        for (const auto& a : e.args) {
            auto t = constantText(*a);
            if (!t) return std::nullopt;
            out += *t;
        }
        return out;
    }
    return std::nullopt;
}

std::string trimBlanks(std::string_view t) {
    size_t b = t.find_first_not_of(" \t\r\n"), z = t.find_last_not_of(" \t\r\n");
    return b == std::string_view::npos ? std::string() : std::string(t.substr(b, z - b + 1));
}

// The pieces of a chain of &, nested chains included, in order.
void concatPieces(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == Expr::Kind::Binary && e.text == "&") {
        for (const auto& a : e.args) concatPieces(*a, out);
        return;
    }
    out.push_back(&e);
}

bool containsAggregate(const Expr& e) {
    if (e.kind == Expr::Kind::Call && findAggregate(e.text) && !findFunction(e.text)) return true;
    for (const auto& a : e.args)
        if (a && containsAggregate(*a)) return true;
    return false;  // subqueries aggregate on their own
}

class Emitter {
public:
    Emitter(const Catalog* catalog, std::string_view text) : catalog_(catalog), text_(text) {}

    QueryOut query(const Query& q, Scope* outer);
    Out value(const Expr& e, Scope& s) { return asValue(emit(e, s)); }
    Out cond(const Expr& e, Scope& s) { return asCond(emit(e, s)); }

    void declare(const std::vector<Parameter>& ps) {
        for (const auto& p : ps) params_.insert(lowerAscii(p.name));
    }
    void checkParameters() const {
        if (!params_.empty())
            throw Error(err::TooFewParameters,
                        "Too few parameters. Expected " + std::to_string(params_.size()) + ".");
    }
    std::string tableRef(const TableRef& t, Scope& scope);
    void forbidAggregates() { aggregatesAllowed_ = false; }
    Source* findSource(Scope& scope, std::string_view name);
    // Runs `emit` and tells whether it read a column of a query enclosing `scope`.
    template <class F>
    bool readsOutside(const Scope& scope, F emit) {
        int saved = shallowest_;
        shallowest_ = 1 << 30;
        emit();
        bool outside = shallowest_ < scope.depth;
        shallowest_ = std::min(saved, shallowest_);
        return outside;
    }

private:
    Out emit(const Expr& e, Scope& s);
    Out column(const Expr& e, Scope& s);
    Out binaryOp(const Expr& e, Scope& s);
    Out chain(const Expr& e, Scope& s);
    static Out combine(const std::string& op, Out a, Out b);
    Out call(const Expr& e, Scope& s);
    Out aggregate(const Expr& e, const AggregateDef& def, Scope& s);
    static Out aggregateOf(const AggregateDef& def, const Out& a, bool distinct);
    Out domain(const Expr& e, const FunctionDef& f, Scope& s);
    bool buildCriteria(const Expr& e, Scope& s, std::string& text, std::vector<Splice>& splices);
    [[noreturn]] void notPreparable(const Expr& e, const FunctionDef& f) const;
    // `setOperation`: a part of a UNION, whose rows are compared as wholes.
    QueryOut select(const Select& sel, const std::vector<OrderItem>* order, Scope* outer, bool setOperation = false);
    QueryOut subquery(const Query& q, Scope* outer, bool oneColumn);

    static Out asValue(Out o) {
        if (o.cond) {
            o.sql = "-(" + o.sql + ")";
            o.cond = false;
            o.type = dbBoolean;
            o.column = false;
        }
        return o;
    }
    static Out asCond(Out o) {
        if (!o.cond) {
            o.sql = "(" + o.sql + ") <> 0";
            o.cond = true;
            o.column = false;
        }
        return o;
    }
    // Text compares ignoring case: stored text columns carry NOCASE, anything
    // else text-valued gets it spelled out (on the left operand, which wins).
    static void collate(Out& a, const Out& b) {
        if ((a.column && isTextType(a.type)) || (b.column && isTextType(b.type))) return;
        if (isTextType(a.type) || isTextType(b.type)) a.sql = "(" + a.sql + ") COLLATE NOCASE";
    }
    // A literal compared with a typed value reads as that type: a text or number
    // literal against a date reads as a date (OrderDate > '1/31/2024', OrderDate
    // < 45000), numeric text against a number reads as a number (OrderID = '7').
    // Text that is no such value is a type mismatch, as in the original engine.
    void dateText(const Out& a, Out& b, const Expr& bExpr) const {
        if (bExpr.kind != Expr::Kind::Literal) return;
        if (a.type == dbDate) {
            std::optional<double> d;
            if (bExpr.lit == Expr::Lit::Text) d = dates::parse(bExpr.text);
            else if (bExpr.lit == Expr::Lit::Integer || bExpr.lit == Expr::Lit::Real)
                d = std::strtod(bExpr.text.c_str(), nullptr);
            else return;
            if (d && *d > -657435.0 && *d < 2958466.0) {
                b.sql = quoteText(dates::format(*d));
                b.type = dbDate;
            } else if (bExpr.lit == Expr::Lit::Text) {
                mismatch(bExpr);
            }
            return;
        }
        if (a.column && isNumberType(a.type) && bExpr.lit == Expr::Lit::Text) {
            std::string t = bExpr.text;
            size_t first = t.find_first_not_of(" \t"), last = t.find_last_not_of(" \t");
            t = first == std::string::npos ? std::string() : t.substr(first, last - first + 1);
            char* end = nullptr;
            double v = t.empty() ? 0 : std::strtod(t.c_str(), &end);
            if (t.empty() || !end || *end != '\0' || !std::isfinite(v)) mismatch(bExpr);
            b.sql = t;
            b.type = dbDouble;
        }
    }
    [[noreturn]] void mismatch(const Expr& e) const {
        throw Error(err::TypeMismatch, "Data type mismatch in criteria expression: '" + around(e) +
                                           "' is not a value of the field's type.");
    }
    std::string around(const Expr& e) const {
        if (e.end > e.pos && e.end <= text_.size()) return std::string(text_.substr(e.pos, e.end - e.pos));
        return e.text;
    }
    [[noreturn]] void wrongArguments(const Expr& e) const {
        throw Error(err::SyntaxInExpression,
                    "Wrong number of arguments used with function in query expression '" + around(e) + "'.");
    }

    const Catalog* catalog_;
    std::string_view text_;
    std::set<std::string> params_;           // unknown names and declared parameters, lower case
    std::vector<std::string> expanding_;     // saved queries being expanded, to stop cycles
    std::set<const Expr*> aliasActive_;
    int subqueryCount_ = 0;
    bool aggregatesAllowed_ = true;
    bool inAggregate_ = false;
    int shallowest_ = 1 << 30;  // depth of the outermost scope a column was read from
    // Columns read outside aggregates, for the GROUP BY check.
    std::vector<std::string>* bareColumns_ = nullptr;
    std::vector<Splice>* splices_ = nullptr;  // values joined into the criteria being emitted
    int domainCount_ = 0;
};

Source* Emitter::findSource(Scope& scope, std::string_view name) {
    for (auto& src : scope.sources)
        if (!src.name.empty() && equalsNoCase(src.name, name)) return &src;
    return nullptr;
}

Out Emitter::emit(const Expr& e, Scope& s) {
    switch (e.kind) {
    case Expr::Kind::Literal: {
        Out o;
        switch (e.lit) {
        case Expr::Lit::Null: o.sql = "NULL"; break;
        case Expr::Lit::Integer: {
            o.sql = e.text;
            long long v = std::stoll(e.text);
            o.type = (v >= -2147483648LL && v <= 2147483647LL) ? dbLong : dbBigInt;
            break;
        }
        case Expr::Lit::Real: o.sql = e.text; o.type = dbDouble; break;
        case Expr::Lit::Text: o.sql = quoteText(e.text); o.type = dbText; break;
        case Expr::Lit::Date: o.sql = quoteText(e.text); o.type = dbDate; break;
        case Expr::Lit::Boolean: o.sql = e.text; o.type = dbBoolean; break;
        }
        return o;
    }
    case Expr::Kind::Column: return column(e, s);
    case Expr::Kind::Star:
        throw Error(err::SyntaxInExpression, "Syntax error in query expression '" + around(e) + "'.");
    case Expr::Kind::Unary: {
        if (e.text == "-") {
            Out v = value(*e.args[0], s);
            Out o;
            o.sql = "(- " + v.sql + ")";
            o.type = (v.type == dbBoolean || v.type == dbByte) ? dbInteger : v.type;
            if (v.type == dbDate) o.type = dbDouble;
            return o;
        }
        Out v = emit(*e.args[0], s);
        Out o;
        if (v.cond) {
            o.sql = "NOT (" + v.sql + ")";
            o.cond = true;
            o.type = dbBoolean;
        } else if (v.type == dbBoolean) {
            o.sql = "(" + v.sql + ") = 0";  // a Yes/No value: stays usable by an index
            o.cond = true;
            o.type = dbBoolean;
        } else {
            o.sql = "~(" + v.sql + ")";  // Not on numbers is bitwise: Not 0 is -1
            o.type = v.type == dbBoolean ? dbBoolean : numericResult(v.type, dbInteger);
        }
        return o;
    }
    case Expr::Kind::Binary: return binaryOp(e, s);
    case Expr::Kind::Like: {
        Out a = value(*e.args[0], s);
        const Expr& pe = *e.args[1];
        Out o;
        o.cond = true;
        o.type = dbBoolean;
        // A literal pattern with only * and ? is SQLite's own LIKE (indexes can serve
        // it); SQLite folds case only in ASCII, so other letters go to ldg_like.
        bool ascii = std::all_of(pe.text.begin(), pe.text.end(), [](char c) { return (c & 0x80) == 0; });
        if (pe.kind == Expr::Kind::Literal && pe.lit == Expr::Lit::Text && ascii &&
            pe.text.find_first_of("[#") == std::string::npos) {
            std::string pat;
            bool escaped = false;
            for (char c : pe.text) {
                if (c == '*') pat += '%';
                else if (c == '?') pat += '_';
                else if (c == '%' || c == '_' || c == '\\') pat += '\\', pat += c, escaped = true;
                else pat += c;
            }
            o.sql = a.sql + (e.negated ? " NOT LIKE " : " LIKE ") + quoteText(pat);
            if (escaped) o.sql += " ESCAPE '\\'";
            o.sql = "(" + o.sql + ")";
            return o;
        }
        Out p = value(pe, s);
        o.sql = "ldg_like(" + a.sql + ", " + p.sql + ")";
        if (e.negated) o.sql = "NOT " + o.sql;
        return o;
    }
    case Expr::Kind::IsNull: {
        Out a = value(*e.args[0], s);
        Out o;
        o.sql = "(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Expr::Kind::Between: {
        Out a = value(*e.args[0], s), lo = value(*e.args[1], s), hi = value(*e.args[2], s);
        dateText(a, lo, *e.args[1]);
        dateText(a, hi, *e.args[2]);
        Out both = lo;
        if (!isTextType(both.type)) both.type = hi.type;
        collate(a, both);
        Out o;
        o.sql = "(" + a.sql + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo.sql + " AND " + hi.sql + ")";
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Expr::Kind::InList: {
        Out a = value(*e.args[0], s);
        std::string list;
        Out anyText;
        for (size_t i = 1; i < e.args.size(); ++i) {
            Out v = value(*e.args[i], s);
            dateText(a, v, *e.args[i]);
            if (isTextType(v.type)) anyText.type = v.type;
            if (i > 1) list += ", ";
            list += v.sql;
        }
        collate(a, anyText);
        Out o;
        o.sql = "(" + a.sql + (e.negated ? " NOT IN (" : " IN (") + list + "))";
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Expr::Kind::InQuery: {
        Out a = value(*e.args[0], s);
        QueryOut q = subquery(*e.query, &s, true);
        Out o;
        o.sql = "(" + a.sql + (e.negated ? " NOT IN (" : " IN (") + q.sql + "))";
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Expr::Kind::Exists: {
        QueryOut q = subquery(*e.query, &s, false);
        Out o;
        o.sql = "EXISTS (" + q.sql + ")";
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Expr::Kind::Subquery: {
        QueryOut q = subquery(*e.query, &s, true);
        Out o;
        o.sql = "(" + q.sql + ")";
        o.type = q.columns.empty() ? 0 : q.columns[0].type;
        return o;
    }
    case Expr::Kind::Call: return call(e, s);
    }
    return {};
}

QueryOut Emitter::subquery(const Query& q, Scope* outer, bool oneColumn) {
    bool savedAllowed = aggregatesAllowed_, savedIn = inAggregate_;
    auto* savedBare = bareColumns_;
    aggregatesAllowed_ = true;
    inAggregate_ = false;
    bareColumns_ = nullptr;
    QueryOut out = query(q, outer);
    aggregatesAllowed_ = savedAllowed;
    inAggregate_ = savedIn;
    bareColumns_ = savedBare;
    if (oneColumn && out.columns.size() != 1)
        throw Error(kSubqueryFields,
                    "A subquery used as a value or with In must return exactly one field; use Exists to test "
                    "for rows.");
    return out;
}

Out Emitter::column(const Expr& e, Scope& s) {
    if (splices_ && e.qualifier.empty()) {
        for (auto& sp : *splices_) {
            if (sp.name == e.text) {
                sp.used = true;
                return sp.value;
            }
        }
    }
    for (Scope* sc = &s; sc; sc = sc->outer) {
        if (!e.qualifier.empty()) {
            Source* src = findSource(*sc, e.qualifier);
            if (!src) continue;
            for (const auto& c : src->columns) {
                if (equalsNoCase(c.name, e.text)) {
                    Out o;
                    o.sql = (src->ref.empty() ? "" : src->ref + ".") + quoteIdent(c.name);
                    o.type = c.type;
                    o.column = src->baseTable;
                    o.columnName = c.name;
                    o.sourceName = src->name;
                    o.precision = c.precision;
                    o.scale = c.scale;
                    if (bareColumns_ && !inAggregate_ && sc == &s) bareColumns_->push_back(o.sql);
                    shallowest_ = std::min(shallowest_, sc->depth);
                    return o;
                }
            }
            break;  // a known table without that field: a parameter
        }
        const Source* found = nullptr;
        const ColumnInfo* col = nullptr;
        for (const auto& src : sc->sources) {
            for (const auto& c : src.columns) {
                if (equalsNoCase(c.name, e.text)) {
                    if (found)
                        throw Error(kAmbiguousField, "The field '" + e.text +
                                                         "' could refer to more than one table listed in the "
                                                         "FROM clause of the statement.");
                    found = &src;
                    col = &c;
                    break;
                }
            }
        }
        if (found) {
            Out o;
            o.sql = (found->ref.empty() ? "" : found->ref + ".") + quoteIdent(col->name);
            o.type = col->type;
            o.column = found->baseTable;
            o.columnName = col->name;
            o.sourceName = found->name;
            o.precision = col->precision;
            o.scale = col->scale;
            if (bareColumns_ && !inAggregate_ && sc == &s) bareColumns_->push_back(o.sql);
            shallowest_ = std::min(shallowest_, sc->depth);
            return o;
        }
        // A select-list alias of this select stands for its expression.
        if (sc == &s) {
            for (const auto& [alias, expr] : sc->aliases) {
                if (equalsNoCase(alias, e.text) && !aliasActive_.count(expr)) {
                    aliasActive_.insert(expr);
                    Out o = emit(*expr, s);
                    aliasActive_.erase(expr);
                    o.columnName.clear();
                    o.column = false;
                    return o;
                }
            }
        }
    }
    // Not a field of any table: a parameter the statement expects a value for.
    params_.insert(lowerAscii(e.qualifier.empty() ? e.text : e.qualifier + "." + e.text));
    Out o;
    o.sql = "NULL";
    return o;
}

Out Emitter::binaryOp(const Expr& e, Scope& s) {
    const std::string& op = e.text;
    if (op == "and" || op == "or" || op == "xor" || op == "eqv" || op == "imp") {
        if (e.args.size() > 2) return chain(e, s);
        return combine(op, emit(*e.args[0], s), emit(*e.args[1], s));
    }
    if (e.args.size() > 2) return chain(e, s);
    Out a = value(*e.args[0], s), b = value(*e.args[1], s);
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        Out o;
        dateText(a, b, *e.args[1]);
        dateText(b, a, *e.args[0]);
        collate(a, b);
        o.sql = a.sql + " " + op + " " + b.sql;
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    return combine(op, std::move(a), std::move(b));
}

// A chain of one operator (a + b + c …) gives what evaluating it from the left
// gives; where grouping cannot change that (logical operators, concatenation,
// sums and products of numbers) the operands are grouped as a balanced tree, so
// that a chain of thousands of terms stays a few levels deep for SQLite.
Out Emitter::chain(const Expr& e, Scope& s) {
    const std::string& op = e.text;
    bool logical = op == "and" || op == "or";
    std::vector<Out> xs;
    for (const auto& a : e.args) xs.push_back(logical ? emit(*a, s) : value(*a, s));
    bool regroup = true;
    if (logical) {
        if (std::any_of(xs.begin(), xs.end(), [](const Out& x) { return x.cond; }))
            for (auto& x : xs) x = asCond(std::move(x));
    } else if (op == "+" || op == "-") {
        bool numbers = std::none_of(xs.begin(), xs.end(), [](const Out& x) { return isTextType(x.type) || x.type == dbDate; });
        if (numbers && op == "-") {
            // A difference does not regroup; written flat, SQLite reads it left to right without nesting.
            Out o;
            o.type = xs[0].type;
            for (size_t i = 0; i < xs.size(); ++i) {
                o.sql += (i ? " - (" : "((") + xs[i].sql + ")";
                if (i) o.type = numericResult(o.type, xs[i].type);
            }
            o.sql += ")";
            if (o.type == dbCurrency) o.sql = "ldg_cur(" + o.sql + ")";
            return o;
        }
        regroup = numbers && op == "+";
    }
    if (!regroup) {
        Out acc = std::move(xs[0]);
        for (size_t i = 1; i < xs.size(); ++i) acc = combine(op, std::move(acc), std::move(xs[i]));
        return acc;
    }
    std::function<Out(size_t, size_t)> group = [&](size_t lo, size_t hi) -> Out {
        if (hi - lo == 1) return std::move(xs[lo]);
        size_t mid = lo + (hi - lo) / 2;
        Out left = group(lo, mid);
        return combine(op, std::move(left), group(mid, hi));
    };
    return group(0, xs.size());
}

Out Emitter::combine(const std::string& op, Out a, Out b) {
    Out o;
    if (op == "and" || op == "or" || op == "xor" || op == "eqv" || op == "imp") {
        if (a.cond || b.cond) {
            a = asCond(a);
            b = asCond(b);
            o.cond = true;
            o.type = dbBoolean;
            if (op == "and") o.sql = "(" + a.sql + " AND " + b.sql + ")";
            else if (op == "or") o.sql = "(" + a.sql + " OR " + b.sql + ")";
            else if (op == "xor") o.sql = "((" + a.sql + ") <> (" + b.sql + "))";
            else if (op == "eqv") o.sql = "((" + a.sql + ") = (" + b.sql + "))";
            else o.sql = "(NOT (" + a.sql + ") OR (" + b.sql + "))";
            return o;
        }
        // On numbers (and -1/0 truth values) the logical operators are bitwise.
        // Each operand appears once, so chains of Xor stay as long as written.
        std::string x = "(" + a.sql + ")", y = "(" + b.sql + ")";
        std::string xr = "ldg_bxor(" + a.sql + ", " + b.sql + ")";
        if (op == "and") o.sql = "(" + x + " & " + y + ")";
        else if (op == "or") o.sql = "(" + x + " | " + y + ")";
        else if (op == "xor") o.sql = xr;
        else if (op == "eqv") o.sql = "(~" + xr + ")";
        else o.sql = "(~" + x + " | " + y + ")";
        o.type = (a.type == dbBoolean && b.type == dbBoolean) ? dbBoolean : numericResult(a.type, b.type);
        return o;
    }
    if (op == "&") {
        o.sql = "ldg_concat(" + a.sql + ", " + b.sql + ")";
        o.type = (a.type == dbMemo || b.type == dbMemo) ? dbMemo : dbText;
        return o;
    }
    if (op == "+") {
        if (isTextType(a.type) && isTextType(b.type)) {
            o.sql = "(" + a.sql + " || " + b.sql + ")";
            o.type = dbText;
        } else if (a.type == dbDate || b.type == dbDate) {
            o.sql = a.type == dbDate ? "ldg_date_plus(" + a.sql + ", " + b.sql + ")"
                                     : "ldg_date_plus(" + b.sql + ", " + a.sql + ")";
            o.type = dbDate;
        } else {
            o.sql = "(" + a.sql + " + " + b.sql + ")";
            o.type = numericResult(a.type, b.type);
            if (o.type == dbCurrency) o.sql = "ldg_cur(" + o.sql + ")";  // 0.1 + 0.2 is 0.3
        }
        return o;
    }
    if (op == "-") {
        if (a.type == dbDate && b.type == dbDate) {
            o.sql = "ldg_date_minus(" + a.sql + ", " + b.sql + ")";
            o.type = dbDouble;
        } else if (a.type == dbDate) {
            o.sql = "ldg_date_plus(" + a.sql + ", - (" + b.sql + "))";
            o.type = dbDate;
        } else {
            o.sql = "(" + a.sql + " - " + b.sql + ")";
            o.type = numericResult(a.type, b.type);
            if (o.type == dbCurrency) o.sql = "ldg_cur(" + o.sql + ")";
        }
        return o;
    }
    if (op == "*") {
        o.sql = "(" + a.sql + " * " + b.sql + ")";
        o.type = numericResult(a.type, b.type);
        if (o.type == dbCurrency) o.sql = "ldg_cur(" + o.sql + ")";
        return o;
    }
    if (op == "/") {
        o.sql = "ldg_div(" + a.sql + ", " + b.sql + ")";
        o.type = dbDouble;
        return o;
    }
    if (op == "\\") {
        o.sql = "ldg_intdiv(" + a.sql + ", " + b.sql + ")";
        o.type = numericResult(numericResult(a.type, b.type) == dbInteger ? dbInteger : dbLong, dbInteger);
        return o;
    }
    if (op == "mod") {
        o.sql = "ldg_mod(" + a.sql + ", " + b.sql + ")";
        o.type = numericResult(a.type, b.type) == dbInteger ? dbInteger : dbLong;
        return o;
    }
    // ^
    o.sql = "ldg_pow(" + a.sql + ", " + b.sql + ")";
    o.type = dbDouble;
    return o;
}

Out Emitter::aggregate(const Expr& e, const AggregateDef& def, Scope& s) {
    if (!aggregatesAllowed_)
        throw Error(kAggregateInWhere, "Cannot have an aggregate function in a WHERE clause (" + around(e) + ").");
    if (inAggregate_)
        throw Error(err::SyntaxInExpression,
                    "Cannot have an aggregate function inside another in query expression '" + around(e) + "'.");
    Out o;
    if (e.star) {
        if (!equalsNoCase(def.name, "Count")) wrongArguments(e);
        o.sql = "count(*)";
        o.type = dbLong;
        return o;
    }
    if (e.args.size() != 1) wrongArguments(e);
    inAggregate_ = true;
    Out a = value(*e.args[0], s);
    inAggregate_ = false;
    return aggregateOf(def, a, e.distinct);
}

Out Emitter::aggregateOf(const AggregateDef& def, const Out& a, bool distinct) {
    Out o;
    o.sql = std::string(def.sqlName) + "(" + (distinct ? "DISTINCT " : "") + a.sql + ")";
    o.type = def.resultType == kTypeOfArg0 ? a.type : def.resultType;
    if (equalsNoCase(def.name, "Sum") || equalsNoCase(def.name, "Avg")) {
        if (a.type == dbCurrency) {
            o.type = dbCurrency;
            o.sql = "ldg_cur(" + o.sql + ")";  // currency stays exact to four places
        } else if (equalsNoCase(def.name, "Sum") && numericResult(a.type, dbLong) == dbLong) {
            o.type = dbLong;
        }
    }
    return o;
}

[[noreturn]] void Emitter::notPreparable(const Expr& e, const FunctionDef& f) const {
    throw Error(err::SyntaxInExpression,
                std::string(f.name) + " in query expression '" + around(e) +
                    "' cannot be prepared: its expression and domain must be literal text, and a value joined "
                    "into its criteria must stand where a value can (text values inside quotes).");
}

// The criteria text of a domain function as written, or built with & from text
// and values of the enclosing statement: "OrderID = " & [OrderID]. Each value
// becomes a placeholder the emitter reads as that value. A value inside quotes
// turns the quoted text into a concatenation ('' & value & ''), inside #...#
// into CDate of one. False when a value stands where none can (inside a
// [name], or unquoted text that would be read as part of the expression).
bool Emitter::buildCriteria(const Expr& e, Scope& s, std::string& text, std::vector<Splice>& splices) {
    if (auto t = constantText(e)) {
        text = *t;
        return true;
    }
    std::vector<const Expr*> pieces;
    concatPieces(e, pieces);
    enum class State { Plain, Quoted, Bracket } state = State::Plain;
    char quote = 0;
    size_t openAt = 0;         // where the open quoted text starts in `text`
    bool openSpliced = false;  // a value was joined into it
    for (const Expr* piece : pieces) {
        if (piece->kind == Expr::Kind::Literal && piece->lit == Expr::Lit::Text) {
            const std::string& lit = piece->text;
            for (size_t i = 0; i < lit.size(); ++i) {
                char c = lit[i];
                switch (state) {
                case State::Plain:
                    if (c == '\'' || c == '"' || c == '#') {
                        state = State::Quoted;
                        quote = c;
                        openAt = text.size();
                        openSpliced = false;
                    } else if (c == '[') {
                        state = State::Bracket;
                    }
                    text += c;
                    break;
                case State::Bracket:
                    if (c == ']') state = State::Plain;
                    text += c;
                    break;
                case State::Quoted:
                    if (c != quote) {
                        text += c;
                    } else if (quote != '#' && i + 1 < lit.size() && lit[i + 1] == quote) {
                        text += c;
                        text += c;
                        ++i;
                    } else {
                        if (!openSpliced) text += c;
                        else text += quote == '#' ? std::string("')") : std::string(1, quote) + ")";
                        state = State::Plain;
                    }
                    break;
                }
            }
            continue;
        }
        if (state == State::Bracket) return false;
        Splice sp;
        sp.name = "\x02" + std::to_string(splices.size() + 1);
        sp.value = value(*piece, s);
        if (state == State::Plain) {
            // Unquoted text would be read as part of the criteria, not as a value.
            if (isTextType(sp.value.type)) return false;
            text += " [" + sp.name + "] ";
        } else {
            if (!openSpliced) {
                if (quote == '#') text.replace(openAt, 1, "CDate('");
                else text.insert(openAt, "(");
                openSpliced = true;
            }
            std::string q = quote == '#' ? "'" : std::string(1, quote);
            text += q + " & [" + sp.name + "] & " + q;
        }
        splices.push_back(std::move(sp));
    }
    return true;
}

// DSum("expr", "domain", "criteria") and its companions: a scalar subquery over
// the domain, correlated with the enclosing row where the criteria names its
// fields. Names in the criteria are the domain's fields first, then those of
// the enclosing statement.
Out Emitter::domain(const Expr& e, const FunctionDef& f, Scope& s) {
    const std::string fname = f.name;
    auto exprText = constantText(*e.args[0]);
    auto domainText = constantText(*e.args[1]);
    if (!exprText || !domainText) notPreparable(e, f);
    std::string criteria;
    std::vector<Splice> splices;
    // Null or blank criteria select every row, as no criteria does.
    bool hasCriteria = e.args.size() > 2 &&
                       !(e.args[2]->kind == Expr::Kind::Literal && e.args[2]->lit == Expr::Lit::Null);
    if (hasCriteria && !buildCriteria(*e.args[2], s, criteria, splices)) notPreparable(e, f);
    if (hasCriteria && splices.empty() && trimBlanks(criteria).empty()) hasCriteria = false;
    std::string shownCriteria = hasCriteria && splices.empty() ? criteria : hasCriteria ? around(*e.args[2]) : "";

    // "[Order Details]" names the domain as Order Details does.
    std::string name = trimBlanks(*domainText);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);

    bool savedAllowed = aggregatesAllowed_, savedIn = inAggregate_;
    auto* savedBare = bareColumns_;
    auto* savedSplices = splices_;
    std::string_view savedText = text_;
    aggregatesAllowed_ = true;
    inAggregate_ = false;
    bareColumns_ = nullptr;

    Scope inner;
    inner.outer = &s;
    inner.depth = s.depth + 1;
    TableRef t;
    t.kind = TableRef::Kind::Named;
    t.name = name;
    t.alias = "$domain" + std::to_string(++domainCount_);  // never the name of an enclosing source
    std::string from = tableRef(t, inner);
    Source& src = inner.sources.back();
    src.name = name;  // the criteria may qualify fields with the domain's name

    bool star = equalsNoCase(fname, "DCount") && trimBlanks(*exprText) == "*";
    Out a;
    ExprPtr x;
    if (!star) {
        x = parseExpression(*exprText, err::SyntaxInExpression);
        text_ = *exprText;
        inAggregate_ = true;  // an aggregate inside is refused as inside another
        a = value(*x, inner);
        inAggregate_ = false;
    }
    std::string where;
    ExprPtr c;
    if (hasCriteria) {
        try {
            c = parseExpression(criteria, err::SyntaxInExpression);
        } catch (const Error&) {
            throw Error(err::SyntaxInExpression,
                        "Syntax error in the criteria of " + fname + ": '" + shownCriteria + "'.");
        }
        text_ = criteria;
        splices_ = &splices;
        aggregatesAllowed_ = false;
        where = cond(*c, inner).sql;
        splices_ = savedSplices;
    }
    text_ = savedText;
    aggregatesAllowed_ = savedAllowed;
    inAggregate_ = savedIn;
    bareColumns_ = savedBare;
    for (const auto& sp : splices)
        if (!sp.used) notPreparable(e, f);  // it ended up inside a name or text

    std::string body = " FROM " + from + (where.empty() ? "" : " WHERE " + where);
    // The domain's natural order: its rows in the order they were stored.
    std::string rowOrder = src.baseTable && !src.rowid.empty() ? src.ref + "." + src.rowid : "";
    Out o;
    if (equalsNoCase(fname, "DLookup")) {
        o.sql = "(SELECT " + a.sql + body + (rowOrder.empty() ? "" : " ORDER BY " + rowOrder) + " LIMIT 1)";
        o.type = a.type;
    } else if ((equalsNoCase(fname, "DFirst") || equalsNoCase(fname, "DLast")) && !rowOrder.empty()) {
        bool last = equalsNoCase(fname, "DLast");
        o.sql = "(SELECT " + a.sql + body + " ORDER BY " + rowOrder + (last ? " DESC" : "") + " LIMIT 1)";
        o.type = a.type;
    } else if (star) {
        o.sql = "(SELECT count(*)" + body + ")";
        o.type = dbLong;
    } else {
        const AggregateDef* def = findAggregate(fname.substr(1));
        Out r = aggregateOf(*def, a, false);
        o.sql = "(SELECT " + r.sql + body + ")";
        o.type = r.type;
    }
    return o;
}

Out Emitter::call(const Expr& e, Scope& s) {
    const FunctionDef* f = findFunction(e.text);
    if (!f) {
        if (const AggregateDef* agg = findAggregate(e.text)) return aggregate(e, *agg, s);
        throw Error(kUndefinedFunction, "Undefined function '" + e.text + "' in expression.");
    }
    int n = static_cast<int>(e.args.size());
    if (e.star || e.distinct || n < f->minArgs || n > f->maxArgs) wrongArguments(e);
    Out o;
    switch (f->special) {
    case Special::IIf: {
        Out c = cond(*e.args[0], s), a = value(*e.args[1], s), b = value(*e.args[2], s);
        // iif() costs SQLite's parser less than CASE, so IIf nests as deep as other calls.
        o.sql = "iif(" + c.sql + ", " + a.sql + ", " + b.sql + ")";
        if (a.type == b.type || b.type == 0) o.type = a.type;
        else if (a.type == 0) o.type = b.type;
        else if (isTextType(a.type) && isTextType(b.type)) o.type = dbText;
        else o.type = numericResult(a.type, b.type);
        return o;
    }
    case Special::IsNull: {
        Out a = value(*e.args[0], s);
        o.sql = "(" + a.sql + " IS NULL)";
        o.cond = true;
        o.type = dbBoolean;
        return o;
    }
    case Special::Nz: {
        Out a = value(*e.args[0], s);
        std::string fallback;
        if (n == 2) {
            fallback = value(*e.args[1], s).sql;
        } else {
            fallback = (a.type != 0 && !isTextType(a.type) && a.type != dbDate && a.type != dbGUID) ? "0" : "''";
        }
        o.sql = "COALESCE(" + a.sql + ", " + fallback + ")";
        o.type = a.type;
        return o;
    }
    case Special::Switch: {
        if (n % 2 != 0) wrongArguments(e);
        o.sql = "CASE";
        for (int i = 0; i < n; i += 2) {
            Out c = cond(*e.args[i], s), v = value(*e.args[i + 1], s);
            o.sql += " WHEN " + c.sql + " THEN " + v.sql;
            if (i == 0) o.type = v.type;
            else if (o.type != v.type) o.type = 0;
        }
        o.sql += " END";
        return o;
    }
    case Special::Choose: {
        Out idx = value(*e.args[0], s);
        o.sql = "CASE CAST(" + idx.sql + " AS INTEGER)";
        for (int i = 1; i < n; ++i) {
            Out v = value(*e.args[i], s);
            o.sql += " WHEN " + std::to_string(i) + " THEN " + v.sql;
            if (i == 1) o.type = v.type;
            else if (o.type != v.type) o.type = 0;
        }
        o.sql += " END";
        return o;
    }
    case Special::Domain: return domain(e, *f, s);
    case Special::Aggregate:
    case Special::None: break;
    }
    std::vector<Out> args;
    for (const auto& a : e.args) args.push_back(value(*a, s));
    o.sql = sqlFunctionName(*f) + "(";
    for (size_t i = 0; i < args.size(); ++i) o.sql += (i ? ", " : "") + args[i].sql;
    o.sql += ")";
    if (f->resultType == kTypeOfArg0) o.type = args.empty() ? 0 : args[0].type;
    else if (f->resultType == kTypeOfArg1) o.type = args.size() < 2 ? 0 : args[1].type;
    else o.type = f->resultType;
    return o;
}

std::string Emitter::tableRef(const TableRef& t, Scope& scope) {
    switch (t.kind) {
    case TableRef::Kind::Named: {
        std::optional<SourceInfo> info;
        if (catalog_) info = catalog_->find(t.name);
        if (!info)
            throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + t.name +
                                              "'. Make sure it exists and that its name is spelled correctly.");
        if (info->noRead)
            throw Error(err::NoReadPermission,
                        "Record(s) cannot be read; no read permission on '" + info->name + "'.");
        Source src;
        src.name = t.alias.empty() ? t.name : t.alias;
        src.ref = quoteIdent(src.name);
        if (findSource(scope, src.name))
            throw Error(err::SyntaxInFrom, "Syntax error in FROM clause: '" + src.name + "' is named twice.");
        std::string text;
        if (info->kind == SourceInfo::Kind::Table) {
            src.columns = info->columns;
            src.baseTable = true;
            src.tableName = info->name;
            src.rowid = info->rowid;
            text = info->sqliteRef + " AS " + src.ref;
        } else {
            std::string key = lowerAscii(info->name);
            if (std::find(expanding_.begin(), expanding_.end(), key) != expanding_.end() || expanding_.size() > 50)
                throw Error(kCircularReference, "Circular reference caused by '" + info->name + "'.");
            auto st = parseStatement(info->querySql);
            if (!st->query || st->kind != Statement::Kind::Select)
                throw Error(err::InvalidOperation,
                            "The query '" + info->name + "' cannot be used as a source of rows; it is not a "
                            "select query.");
            declare(st->parameters);
            expanding_.push_back(key);
            std::string_view savedText = text_;
            text_ = st->text;
            bool savedAllowed = aggregatesAllowed_;
            aggregatesAllowed_ = true;
            QueryOut q = query(*st->query, nullptr);
            aggregatesAllowed_ = savedAllowed;
            text_ = savedText;
            expanding_.pop_back();
            for (const auto& c : q.columns) src.columns.push_back(ColumnInfo{c.name, c.type, c.precision, c.scale});
            text = "(" + q.sql + ") AS " + src.ref;
        }
        scope.sources.push_back(std::move(src));
        return text;
    }
    case TableRef::Kind::Subquery: {
        QueryOut q = subquery(*t.query, nullptr, false);
        Source src;
        src.name = t.alias;
        src.ref = quoteIdent(t.alias.empty() ? "_sub" + std::to_string(++subqueryCount_) : t.alias);
        for (const auto& c : q.columns) src.columns.push_back(ColumnInfo{c.name, c.type, c.precision, c.scale});
        std::string text = "(" + q.sql + ") AS " + src.ref;
        scope.sources.push_back(std::move(src));
        return text;
    }
    case TableRef::Kind::Join: {
        std::string left = tableRef(*t.left, scope);
        std::string right = tableRef(*t.right, scope);
        if (t.right->kind == TableRef::Kind::Join) right = "(" + right + ")";
        const char* word = t.join == TableRef::JoinType::Inner  ? " INNER JOIN "
                           : t.join == TableRef::JoinType::Left ? " LEFT JOIN "
                           : t.join == TableRef::JoinType::Right ? " RIGHT JOIN "
                                                                 : " CROSS JOIN ";
        std::string text = left + word + right;
        if (t.on) {
            bool saved = aggregatesAllowed_;
            aggregatesAllowed_ = false;
            text += " ON " + cond(*t.on, scope).sql;
            aggregatesAllowed_ = saved;
        }
        return text;
    }
    }
    return {};
}

QueryOut Emitter::select(const Select& sel, const std::vector<OrderItem>* order, Scope* outer, bool setOperation) {
    Scope scope;
    scope.outer = outer;
    scope.depth = outer ? outer->depth + 1 : 0;
    int savedShallowest = shallowest_;
    shallowest_ = 1 << 30;
    QueryOut out;
    std::string from;
    for (size_t i = 0; i < sel.from.size(); ++i) from += (i ? ", " : "") + tableRef(*sel.from[i], scope);
    for (const auto& item : sel.items)
        if (!item.alias.empty()) scope.aliases.emplace_back(item.alias, item.expr.get());

    bool aggregateItems = false;
    for (const auto& item : sel.items)
        if (containsAggregate(*item.expr)) aggregateItems = true;
    bool grouped = !sel.groupBy.empty() || sel.having || aggregateItems;

    std::vector<std::string> bare;
    std::vector<std::vector<std::string>> itemBare;  // columns each item reads outside aggregates
    std::vector<std::string> list;
    std::vector<std::string> sourceOf;  // per output column: its source's name for plain columns
    std::vector<bool> aliased;
    std::vector<bool> columnItem;  // a plain column of a stored table
    int exprNo = 1000;
    for (const auto& item : sel.items) {
        const Expr& x = *item.expr;
        if (x.kind == Expr::Kind::Star) {
            bool any = false;
            for (const auto& src : scope.sources) {
                if (!x.qualifier.empty() && !equalsNoCase(src.name, x.qualifier)) continue;
                any = true;
                for (const auto& c : src.columns) {
                    std::string sql = (src.ref.empty() ? "" : src.ref + ".") + quoteIdent(c.name);
                    list.push_back(sql);
                    out.columns.push_back(OutputColumn{c.name, c.type, src.baseTable ? c.name : "", c.precision, c.scale});
                    sourceOf.push_back(src.name);
                    aliased.push_back(false);
                    columnItem.push_back(src.baseTable);
                    itemBare.push_back({sql});
                }
            }
            if (!any && !x.qualifier.empty())
                throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + x.qualifier +
                                                  "'. Make sure it exists and that its name is spelled correctly.");
            if (!any && scope.sources.empty())
                throw Error(err::SyntaxInSelect, "SELECT * needs a FROM clause naming at least one table.");
            continue;
        }
        bare.clear();
        bareColumns_ = &bare;
        Out v = value(x, scope);
        bareColumns_ = nullptr;
        OutputColumn col;
        col.type = v.type;
        col.precision = v.precision;
        col.scale = v.scale;
        if (!item.alias.empty()) col.name = item.alias;
        else if (!v.columnName.empty()) col.name = v.columnName;
        else col.name = "Expr" + std::to_string(exprNo++);
        if (v.column) col.baseColumn = v.columnName;
        list.push_back(v.sql);
        itemBare.push_back(bare);
        sourceOf.push_back(v.columnName.empty() ? "" : v.sourceName);
        aliased.push_back(!item.alias.empty());
        columnItem.push_back(v.column);
        out.columns.push_back(std::move(col));
    }
    // Two plain columns with one name are told apart by their table: Orders.ID.
    std::vector<bool> clash(out.columns.size(), false);
    for (size_t i = 0; i < out.columns.size(); ++i) {
        if (aliased[i] || sourceOf[i].empty()) continue;
        for (size_t j = 0; j < out.columns.size(); ++j)
            if (j != i && equalsNoCase(out.columns[i].name, out.columns[j].name) && !sourceOf[j].empty() &&
                !equalsNoCase(sourceOf[i], sourceOf[j]))
                clash[i] = true;
    }
    for (size_t i = 0; i < out.columns.size(); ++i)
        if (clash[i]) out.columns[i].name = sourceOf[i] + "." + out.columns[i].name;
    // DISTINCT and UNION compare text ignoring case: stored text columns do so
    // already, computed text says so.
    std::vector<std::string> shown = list;
    if (sel.distinct || setOperation)
        for (size_t i = 0; i < shown.size(); ++i)
            if (isTextType(out.columns[i].type) && !columnItem[i]) shown[i] = "(" + shown[i] + ") COLLATE NOCASE";
    std::string selectList;
    for (size_t i = 0; i < list.size(); ++i)
        selectList += (i ? ", " : "") + shown[i] + " AS " + quoteIdent(out.columns[i].name);
    if (list.empty()) throw Error(err::SyntaxInSelect, "The SELECT statement names no fields.");

    std::string where;
    if (sel.where) {
        bool saved = aggregatesAllowed_;
        aggregatesAllowed_ = false;
        where = cond(*sel.where, scope).sql;
        aggregatesAllowed_ = saved;
    }
    std::vector<std::string> groups;     // emitted GROUP BY terms
    std::vector<std::string> groupPlain; // the same without collation, to match select items
    for (const auto& g : sel.groupBy) {
        bool saved = aggregatesAllowed_;
        aggregatesAllowed_ = false;
        Out v;
        bool outside = readsOutside(scope, [&] { v = value(*g, scope); });
        aggregatesAllowed_ = saved;
        if (outside) continue;  // constant within this query, and SQLite cannot resolve it
        groupPlain.push_back(v.sql);
        groups.push_back(isTextType(v.type) && !v.column ? "(" + v.sql + ") COLLATE NOCASE" : v.sql);
    }
    if (grouped) {
        // Every field read outside an aggregate must be grouped on.
        for (size_t i = 0; i < list.size(); ++i) {
            if (std::find(groupPlain.begin(), groupPlain.end(), list[i]) != groupPlain.end()) continue;
            for (const auto& c : itemBare[i]) {
                if (std::find(groupPlain.begin(), groupPlain.end(), c) == groupPlain.end())
                    throw Error(kNotGrouped, "The query does not include the expression '" + out.columns[i].name +
                                                 "' as part of an aggregate function or grouping.");
            }
        }
    }
    std::string groupText;
    for (size_t i = 0; i < groups.size(); ++i) groupText += (i ? ", " : "") + groups[i];
    std::string having;
    if (sel.having) {
        having = cond(*sel.having, scope).sql;
        // SQLite takes HAVING only in an aggregate query: one group of all rows.
        if (groupText.empty() && !aggregateItems) groupText = "NULL";
    }

    std::string orderText;
    if (order) {
        for (size_t i = 0; i < order->size(); ++i) {
            const OrderItem& item = (*order)[i];
            Out v;
            // A number orders by that column of the select list.
            if (item.expr->kind == Expr::Kind::Literal && item.expr->lit == Expr::Lit::Integer) {
                long long k = std::stoll(item.expr->text);
                if (k < 1 || k > static_cast<long long>(list.size()))
                    throw Error(err::SyntaxInSelect, "ORDER BY names column " + item.expr->text +
                                                         ", which is not in the select list.");
                v.sql = list[k - 1];
                v.type = out.columns[k - 1].type;
            } else {
                // Ordering by a value of the enclosing query is constant here, and
                // SQLite cannot resolve it in a subquery's ORDER BY: leave it out.
                if (readsOutside(scope, [&] { v = value(*item.expr, scope); })) continue;
            }
            std::string t = v.sql;
            if (isTextType(v.type) && !v.column) t = "(" + t + ") COLLATE NOCASE";
            if (item.descending) t += " DESC";
            orderText += (orderText.empty() ? "" : ", ") + t;
        }
    }

    bool correlated = shallowest_ < scope.depth;
    shallowest_ = std::min(shallowest_, savedShallowest);
    // A row count over a correlated query cannot be put in SQLite's LIMIT.
    if (correlated && sel.top && sel.topPercent)
        throw Error(err::OperationNotSupported,
                    "TOP ... PERCENT cannot be used in a subquery that reads fields of the enclosing query.");

    std::string sql = "SELECT ";
    if (sel.distinct) sql += "DISTINCT ";
    sql += selectList;
    if (!from.empty()) sql += " FROM " + from;
    if (!where.empty()) sql += " WHERE " + where;
    if (!groupText.empty()) sql += " GROUP BY " + groupText;
    if (!having.empty()) sql += " HAVING " + having;
    std::string core = sql;
    if (!orderText.empty()) sql += " ORDER BY " + orderText;
    if (sel.top) {
        if (sel.topPercent) {
            std::string x = "(count(*) * " + std::to_string(*sel.top) + " / 100.0)";
            sql += " LIMIT (SELECT CAST(" + x + " AS INTEGER) + (" + x + " > CAST(" + x + " AS INTEGER)) FROM (" +
                   core + "))";
        } else {
            sql += " LIMIT " + std::to_string(static_cast<long long>(*sel.top));
        }
    }
    out.sql = sql;

    if (!grouped && !sel.distinct && !sel.top && sel.from.size() == 1 &&
        sel.from[0]->kind == TableRef::Kind::Named && scope.sources.size() == 1 && scope.sources[0].baseTable) {
        out.addressable = true;
        out.baseTable = scope.sources[0].tableName;
        out.baseAlias = scope.sources[0].ref;
        out.selectList = selectList;
        out.fromClause = from;
        out.whereClause = where;
        out.orderBy = orderText;
    } else {
        for (auto& c : out.columns) c.baseColumn.clear();
    }
    return out;
}

QueryOut Emitter::query(const Query& q, Scope* outer) {
    if (q.parts.size() == 1) return select(*q.parts[0], &q.orderBy, outer);
    QueryOut out;
    std::string sql;
    for (size_t i = 0; i < q.parts.size(); ++i) {
        QueryOut part = select(*q.parts[i], nullptr, outer, true);
        if (i == 0) {
            out.columns = part.columns;
        } else {
            if (part.columns.size() != out.columns.size())
                throw Error(kUnionColumnCount,
                            "The number of columns in the two selected tables or queries of a union query do not "
                            "match.");
            sql += q.unionAll[i - 1] ? " UNION ALL " : " UNION ";
            for (size_t k = 0; k < out.columns.size(); ++k) {
                if (out.columns[k].type != part.columns[k].type) out.columns[k].type = 0;
                if (out.columns[k].precision != part.columns[k].precision || out.columns[k].scale != part.columns[k].scale)
                    out.columns[k].precision = out.columns[k].scale = 0;
            }
        }
        sql += q.parts[i]->top ? "SELECT * FROM (" + part.sql + ")" : part.sql;
    }
    for (auto& c : out.columns) c.baseColumn.clear();
    // ORDER BY of a union names output columns (or their numbers).
    std::string orderText;
    for (size_t i = 0; i < q.orderBy.size(); ++i) {
        const Expr& x = *q.orderBy[i].expr;
        std::string t;
        if (x.kind == Expr::Kind::Literal && x.lit == Expr::Lit::Integer) {
            long long k = std::stoll(x.text);
            if (k < 1 || k > static_cast<long long>(out.columns.size()))
                throw Error(err::SyntaxInSelect, "ORDER BY names column " + x.text + ", which is not in the union.");
            t = x.text;
        } else if (x.kind == Expr::Kind::Column) {
            for (const auto& c : out.columns) {
                if (equalsNoCase(c.name, x.text) ||
                    (!x.qualifier.empty() && equalsNoCase(c.name, x.qualifier + "." + x.text))) {
                    t = quoteIdent(c.name);
                    break;
                }
            }
        }
        if (t.empty())
            throw Error(err::SyntaxInSelect, "The ORDER BY clause of a union query can only name fields of its "
                                             "first SELECT; '" + around(x) + "' is not one of them.");
        if (q.orderBy[i].descending) t += " DESC";
        orderText += (i ? ", " : "") + t;
    }
    if (!orderText.empty()) sql += " ORDER BY " + orderText;
    out.sql = sql;
    return out;
}

// Collects the tables and ON conditions of an inner-join tree.
bool flattenInner(const TableRef& t, std::vector<const TableRef*>& tables, std::vector<const Expr*>& ons) {
    if (t.kind == TableRef::Kind::Named) {
        tables.push_back(&t);
        return true;
    }
    if (t.kind != TableRef::Kind::Join || (t.join != TableRef::JoinType::Inner && t.join != TableRef::JoinType::Cross))
        return false;
    if (t.on) ons.push_back(t.on.get());
    return flattenInner(*t.left, tables, ons) && flattenInner(*t.right, tables, ons);
}

}  // namespace

EmittedSelect emitQueryStatement(const Statement& st, const Catalog& catalog) {
    if (st.kind == Statement::Kind::Crosstab)
        throw Error(err::OperationNotSupported, "Crosstab queries cannot be opened or run.");
    if (st.kind != Statement::Kind::Select || !st.query)
        throw Error(err::InvalidOperation, "Only a select query can be opened as a set of rows.");
    Emitter em(&catalog, st.text);
    em.declare(st.parameters);
    QueryOut q = em.query(*st.query, nullptr);
    em.checkParameters();
    EmittedSelect out;
    out.sql = std::move(q.sql);
    out.columns = std::move(q.columns);
    if (q.addressable) {
        out.baseTable = q.baseTable;
        out.baseAlias = q.baseAlias;
        out.selectList = q.selectList;
        out.fromClause = q.fromClause;
        out.whereClause = q.whereClause;
        out.orderBy = q.orderBy;
    }
    return out;
}

const ColumnInfo& columnInfo(const std::vector<ColumnInfo>& columns, const std::string& name) {
    static const ColumnInfo none;
    for (const auto& c : columns)
        if (equalsNoCase(c.name, name)) return c;
    return none;
}

// What a field does to a value written into it: a Yes/No field stores any
// non-zero number as Yes (-1); a Decimal field with a recorded scale rounds to it.
bool changesValues(const ColumnInfo& field) {
    return field.type == dbBoolean || (field.type == dbDecimal && field.precision > 0);
}

std::string fitValue(const std::string& sql, const ColumnInfo& field) {
    if (field.type == dbBoolean) return "-((" + sql + ") <> 0)";
    if (field.type != dbDecimal || field.precision <= 0) return sql;
    return "ldg_decimal(" + sql + ", " + std::to_string(field.precision) + ", " + std::to_string(field.scale) + ", " +
           quoteText(field.name) + ")";
}

// The rows of a select fitted to the fields they go to, the select's columns named by position.
std::string fitToFields(const std::string& selectSql, const std::vector<ColumnInfo>& fields) {
    if (std::none_of(fields.begin(), fields.end(), changesValues)) return selectSql;
    std::string names, list;
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string n = quoteIdent("c" + std::to_string(i + 1));
        names += (i ? ", " : "") + n;
        list += (i ? ", " : "") + fitValue(n, fields[i]);
    }
    return "WITH \"ledgerly$rows\" (" + names + ") AS (" + selectSql + ") SELECT " + list + " FROM \"ledgerly$rows\"";
}

EmittedAction emitActionStatement(const Statement& st, const Catalog& catalog) {
    Emitter em(&catalog, st.text);
    em.declare(st.parameters);
    EmittedAction out;
    // The table a statement changes: a stored table that statements may write.
    auto tableInfo = [&](const std::string& name) {
        auto info = catalog.find(name);
        if (!info)
            throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + name +
                                              "'. Make sure it exists and that its name is spelled correctly.");
        if (info->kind != SourceInfo::Kind::Table)
            throw Error(kNotUpdatable, "Operation must use an updatable query; '" + name + "' is a saved query.");
        if (info->readOnly) throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
        return *info;
    };
    switch (st.kind) {
    case Statement::Kind::Insert: {
        SourceInfo t = tableInfo(st.table);
        out.targetTable = t.name;
        auto fieldOf = [&](const std::string& name) -> std::string {
            for (const auto& c : t.columns)
                if (equalsNoCase(c.name, name)) return c.name;
            throw Error(kUnknownInsertField,
                        "The INSERT INTO statement contains the following unknown field name: '" + name +
                            "'. Make sure you have typed the name correctly, and try the operation again.");
        };
        std::vector<std::string> cols;
        for (const auto& c : st.columns) cols.push_back(fieldOf(c));
        std::string body;
        if (st.query) {
            QueryOut q = em.query(*st.query, nullptr);
            if (cols.empty()) {
                // Without a field list, the select's fields go to the fields of the same names.
                for (const auto& c : q.columns) {
                    // Orders.CustomerID (a name shared by two tables) goes to CustomerID.
                    size_t dot = c.name.rfind('.');
                    bool whole = std::any_of(t.columns.begin(), t.columns.end(),
                                             [&](const ColumnInfo& tc) { return equalsNoCase(tc.name, c.name); });
                    cols.push_back(fieldOf(whole || dot == std::string::npos ? c.name : c.name.substr(dot + 1)));
                }
            }
            if (cols.size() != q.columns.size())
                throw Error(kValueCount, "Number of query values and destination fields are not the same.");
            std::vector<ColumnInfo> targets;
            for (const auto& c : cols) targets.push_back(columnInfo(t.columns, c));
            body = fitToFields(q.sql, targets);
        } else {
            if (cols.empty())
                for (const auto& c : t.columns) cols.push_back(c.name);
            Scope none;
            em.forbidAggregates();
            for (size_t r = 0; r < st.values.size(); ++r) {
                if (st.values[r].size() != cols.size())
                    throw Error(kValueCount, "Number of query values and destination fields are not the same.");
                body += r ? ", (" : "VALUES (";
                for (size_t i = 0; i < st.values[r].size(); ++i) {
                    body += (i ? ", " : "") + fitValue(em.value(*st.values[r][i], none).sql, columnInfo(t.columns, cols[i]));
                }
                body += ")";
            }
        }
        std::string colText;
        for (size_t i = 0; i < cols.size(); ++i) colText += (i ? ", " : "") + quoteIdent(cols[i]);
        out.sql = "INSERT INTO " + t.sqliteRef + " (" + colText + ") " + body;
        break;
    }
    case Statement::Kind::Update: {
        em.forbidAggregates();
        Scope scope;
        std::vector<const TableRef*> tables;
        std::vector<const Expr*> ons;
        for (const auto& f : st.from)
            if (!flattenInner(*f, tables, ons))
                throw Error(kNotUpdatable, "Operation must use an updatable query: an UPDATE can join tables only "
                                           "with INNER JOIN.");
        std::vector<std::string> texts;
        for (const TableRef* t : tables) texts.push_back(em.tableRef(*t, scope));
        for (const Source& src : scope.sources)
            if (!src.baseTable)
                throw Error(kNotUpdatable, "Operation must use an updatable query; '" + src.name +
                                               "' is a saved query.");
        // The table changed is the one whose fields are set.
        size_t target = 0;
        bool chosen = false;
        std::vector<std::pair<std::string, std::string>> sets;
        for (const auto& a : st.assignments) {
            size_t found = scope.sources.size();
            std::string colName;
            for (size_t i = 0; i < scope.sources.size() && found == scope.sources.size(); ++i) {
                if (!a.qualifier.empty() && !equalsNoCase(scope.sources[i].name, a.qualifier)) continue;
                for (const auto& c : scope.sources[i].columns)
                    if (equalsNoCase(c.name, a.column)) {
                        found = i;
                        colName = c.name;
                        break;
                    }
            }
            if (found == scope.sources.size())
                throw Error(err::FieldNotFound, "The UPDATE statement sets an unknown field: '" +
                                                    (a.qualifier.empty() ? "" : a.qualifier + ".") + a.column + "'.");
            if (chosen && found != target)
                throw Error(kNotUpdatable, "Operation must use an updatable query: an UPDATE changes one table.");
            target = found;
            chosen = true;
            sets.emplace_back(colName, "");
        }
        for (size_t i = 0; i < st.assignments.size(); ++i) {
            sets[i].second = fitValue(em.value(*st.assignments[i].value, scope).sql,
                                      columnInfo(scope.sources[target].columns, sets[i].first));
        }
        std::string where;
        std::vector<std::string> conds;
        for (const Expr* on : ons) conds.push_back(em.cond(*on, scope).sql);
        if (st.where) conds.push_back(em.cond(*st.where, scope).sql);
        for (size_t i = 0; i < conds.size(); ++i) where += (i ? " AND " : "") + std::string("(") + conds[i] + ")";
        SourceInfo t = tableInfo(tables[target]->name);
        out.targetTable = t.name;
        out.sql = "UPDATE " + texts[target] + " SET ";
        for (size_t i = 0; i < sets.size(); ++i)
            out.sql += (i ? ", " : "") + quoteIdent(sets[i].first) + " = " + sets[i].second;
        std::string others;
        for (size_t i = 0; i < texts.size(); ++i)
            if (i != target) others += (others.empty() ? "" : ", ") + texts[i];
        if (!others.empty()) out.sql += " FROM " + others;
        if (!where.empty()) out.sql += " WHERE " + where;
        break;
    }
    case Statement::Kind::Delete: {
        em.forbidAggregates();
        Scope scope;
        std::string from;
        for (size_t i = 0; i < st.from.size(); ++i) from += (i ? ", " : "") + em.tableRef(*st.from[i], scope);
        const Source* target = nullptr;
        if (!st.deleteTarget.empty()) target = em.findSource(scope, st.deleteTarget);
        else if (scope.sources.size() == 1) target = &scope.sources[0];
        if (!target && !st.deleteTarget.empty())
            throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + st.deleteTarget +
                                              "'. Make sure it exists and that its name is spelled correctly.");
        if (!target)
            throw Error(err::SyntaxInDelete, "Specify the table containing the records you want to delete.");
        if (!target->baseTable)
            throw Error(kNotUpdatable, "Could not delete from specified tables: '" + target->name +
                                           "' is not a table.");
        std::string where = st.where ? em.cond(*st.where, scope).sql : "";
        SourceInfo t = tableInfo(target->tableName);
        out.targetTable = t.name;
        if (scope.sources.size() == 1 && st.from.size() == 1 && st.from[0]->kind == TableRef::Kind::Named) {
            out.sql = "DELETE FROM " + from + (where.empty() ? "" : " WHERE " + where);
        } else {
            if (t.rowid.empty())
                throw Error(err::ReadOnly, "Could not delete from '" + t.name + "' through a join: the table has no "
                                           "row key the engine can use. Delete with a condition on the table alone.");
            out.sql = "DELETE FROM " + t.sqliteRef + " WHERE " + t.rowid + " IN (SELECT " + target->ref + "." +
                      target->rowid + " FROM " +
                      from + (where.empty() ? "" : " WHERE " + where) + ")";
        }
        break;
    }
    case Statement::Kind::Select:
    case Statement::Kind::Crosstab:
        throw Error(kSelectNotRunnable, "A select query cannot be run as an action; open it as a set of rows.");
    default:
        throw Error(err::InvalidOperation, "A data-definition statement is carried out by the schema, not emitted.");
    }
    em.checkParameters();
    return out;
}

std::string emitCriteria(const Expr& criteria, const SourceInfo& source, const Catalog* catalog,
                         std::string_view text) {
    Emitter em(catalog, text);
    Scope scope;
    Source src;
    src.name = source.name;
    src.ref = source.sqliteRef;  // qualified, so a domain subquery in the criteria reads this row's fields
    src.columns = source.columns;
    src.baseTable = source.kind == SourceInfo::Kind::Table;
    src.tableName = source.name;
    scope.sources.push_back(std::move(src));
    em.forbidAggregates();
    Out c = em.cond(criteria, scope);
    em.checkParameters();
    return c.sql;
}

}  // namespace engine::sql
