#include "engine/sql/parser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/lexer.h"
#include "engine/variant.h"

namespace engine::sql {

using namespace ast;

namespace {

// Words that end an expression or a name list, so they are never read as names.
const std::set<std::string> kReserved = {
    "select", "from", "where", "group", "order", "by", "having", "union", "all", "and", "or", "not",
    "xor", "eqv", "imp", "mod", "like", "is", "in", "between", "exists", "as", "on", "inner", "left",
    "right", "outer", "join", "into", "values", "set", "insert", "update", "delete", "create", "drop",
    "alter", "distinct", "distinctrow", "null", "true", "false", "transform", "pivot", "parameters",
    "asc", "desc", "top", "constraint",
};

bool reserved(const Token& t) { return t.kind == Tok::Name && kReserved.count(lowerAscii(t.text)) > 0; }

// Keeps nesting within what the storage layer's parser takes: a level of
// parentheses or a function call counts two steps of kMaxDepth. Chains of one
// operator (a + b + c …, x Or y Or z …) are one level however long.
constexpr int kMaxDepth = 40;
constexpr int kMaxLevels = kMaxDepth / 2;

[[noreturn]] void tooDeep() {
    throw Error(3360, "The query is too complex: its expressions nest more than " + std::to_string(kMaxLevels) +
                          " levels deep (parentheses, function calls and operators of different kinds). Split it "
                          "into simpler parts.");
}

// Operators whose chains the emitter may regroup: a + b + c is one node with three operands.
bool chains(const std::string& op) {
    return op == "+" || op == "-" || op == "*" || op == "&" || op == "and" || op == "or";
}

class Parser {
public:
    Parser(std::string_view text, int clauseError) : src_(text), clause_(clauseError) {
        try {
            toks_ = tokenize(text);
        } catch (const LexError& e) {
            hasLexFault_ = true;
            // Keep the tokens before the fault so the error names the right clause.
            toks_.clear();
            try {
                toks_ = tokenize(text.substr(0, e.pos));
            } catch (const LexError&) {
            }
            if (toks_.empty()) toks_.push_back(Token{});
            toks_.back().kind = Tok::End;
            toks_.back().text = "\x01";  // marks the point of the lexical fault
            toks_.back().pos = e.pos;
            toks_.back().end = text.size();
        }
    }

    std::unique_ptr<Statement> statement();
    ExprPtr bareExpression() {
        exprStart_ = 0;
        ExprPtr e = expr();
        accept(";");
        if (!atEnd() || hasLexFault_) fail();
        return e;
    }

private:
    // --- tokens
    const Token& peek(size_t ahead = 0) const { return toks_[std::min(p_ + ahead, toks_.size() - 1)]; }
    const Token& next() {
        const Token& t = toks_[p_];
        if (p_ + 1 < toks_.size()) ++p_;
        return t;
    }
    bool atEnd() const { return peek().kind == Tok::End; }
    bool accept(std::string_view symbol) {
        if (peek().isSymbol(symbol)) {
            next();
            return true;
        }
        return false;
    }
    bool acceptWord(std::string_view word) {
        if (peek().isWord(word)) {
            next();
            return true;
        }
        return false;
    }
    void expect(std::string_view symbol) {
        if (!accept(symbol)) fail();
    }
    void expectWord(std::string_view word) {
        if (!acceptWord(word)) fail();
    }
    bool isName(const Token& t) const { return t.kind == Tok::Bracketed || (t.kind == Tok::Name && !reserved(t)); }
    std::string name() {
        if (!isName(peek())) fail();
        return next().text;
    }

    [[noreturn]] void fail() const;
    [[noreturn]] void failWith(int number) const {
        const_cast<Parser*>(this)->clause_ = number;
        fail();
    }

    // Sets the error number for a stretch of parsing and restores it afterwards.
    struct Clause {
        Parser& p;
        int saved;
        Clause(Parser& parser, int number) : p(parser), saved(parser.clause_) { parser.clause_ = number; }
        ~Clause() { p.clause_ = saved; }
    };
    struct Depth {
        Parser& p;
        explicit Depth(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxDepth) tooDeep();
        }
        ~Depth() { --p.depth_; }
    };

    // --- expressions
    ExprPtr expr();  // lowest precedence: Imp
    ExprPtr exprInClause();  // an expression whose faults report 3075 around it
    ExprPtr binaryLevel(int level);
    ExprPtr notLevel();
    ExprPtr comparison();
    ExprPtr concat();
    ExprPtr additive();
    ExprPtr modLevel();
    ExprPtr intDiv();
    ExprPtr multiplicative();
    ExprPtr unary();
    ExprPtr power();
    ExprPtr primary();
    ExprPtr make(Expr::Kind kind, size_t pos) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->pos = pos;
        return e;
    }
    ExprPtr binary(std::string op, ExprPtr a, ExprPtr b) {
        if (chains(op) && a->kind == Expr::Kind::Binary && a->text == op) {
            a->args.push_back(std::move(b));
            close(*a);
            return a;
        }
        auto e = make(Expr::Kind::Binary, a->pos);
        e->text = std::move(op);
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        close(*e);
        return e;
    }
    // Ends a node at the last token read; chains of operators are loops in the
    // parser, so their height is checked here rather than by Depth.
    void close(Expr& e) {
        e.end = toks_[p_ > 0 ? p_ - 1 : 0].end;
        for (const auto& a : e.args) e.depth = std::max(e.depth, a->depth + 1);
        if (e.depth > kMaxDepth) tooDeep();
    }

    // --- statements
    QueryPtr query();
    std::unique_ptr<Select> selectCore();
    void selectItems(Select& s);
    std::vector<TableRefPtr> fromList();
    TableRefPtr joined();
    TableRefPtr tablePrimary();
    void orderBy(std::vector<OrderItem>& out);
    void parameters(Statement& st);
    void insert(Statement& st);
    void update(Statement& st);
    void remove(Statement& st);
    void create(Statement& st);
    void drop(Statement& st);
    void alter(Statement& st);
    ColumnDef columnDef();
    bool tableConstraint(std::vector<TableConstraint>& out);
    std::vector<IndexColumn> indexColumns();
    void finish(int number) {
        Clause c(*this, number);
        accept(";");
        if (!atEnd() || hasLexFault_) fail();
    }

    std::string_view src_;
    std::vector<Token> toks_;
    size_t p_ = 0;
    int clause_;
    size_t exprStart_ = 0;
    int depth_ = 0;
    bool hasLexFault_ = false;
};

std::string clip(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    std::string out(s.substr(a, b - a));
    if (out.size() > 60) {
        size_t cut = 57;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;  // keep UTF-8 whole
        out = out.substr(0, cut) + "...";
    }
    return out;
}

void Parser::fail() const {
    const Token& t = peek();
    size_t faultPos = t.pos, faultEnd = t.end;
    if (t.kind == Tok::End && !hasLexFault_) faultPos = faultEnd = src_.size();
    std::string around;
    if (clause_ == err::SyntaxInExpression || clause_ == 3077) {
        size_t begin = std::min(exprStart_, faultPos);
        size_t stop = std::max(faultEnd, begin);
        if (stop - begin < 1 && stop < src_.size()) stop = std::min(src_.size(), begin + 30);
        around = clip(src_.substr(begin, stop - begin));
    } else if (faultPos >= src_.size()) {
        around = clip(src_.substr(src_.size() > 30 ? src_.size() - 30 : 0));
    } else {
        around = clip(src_.substr(faultPos, 30));
    }
    std::string msg;
    switch (clause_) {
    case err::SyntaxInExpression: msg = "Syntax error in query expression '" + around + "'."; break;
    case 3077: msg = "Syntax error in expression '" + around + "'."; break;
    case err::SyntaxInFrom: msg = "Syntax error in FROM clause near '" + around + "'."; break;
    case err::SyntaxInInsert: msg = "Syntax error in INSERT INTO statement near '" + around + "'."; break;
    case err::SyntaxInUpdate: msg = "Syntax error in UPDATE statement near '" + around + "'."; break;
    case err::SyntaxInDelete: msg = "Syntax error in DELETE statement near '" + around + "'."; break;
    case err::SyntaxInFieldDef: msg = "Syntax error in field definition near '" + around + "'."; break;
    case 3289: msg = "Syntax error in CONSTRAINT clause near '" + around + "'."; break;
    case 3290: msg = "Syntax error in CREATE TABLE or CREATE INDEX statement near '" + around + "'."; break;
    case 3293: msg = "Syntax error in ALTER TABLE statement near '" + around + "'."; break;
    case 3295: msg = "Syntax error in DROP TABLE or DROP INDEX statement near '" + around + "'."; break;
    case 3319: msg = "Syntax error in union query near '" + around + "'."; break;
    case err::InvalidSql:
        msg = "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.";
        break;
    default:
        msg = "The SELECT statement includes a reserved word or an argument name that is misspelled or "
              "missing, or the punctuation is incorrect, near '" + around + "'.";
        break;
    }
    throw Error(clause_, msg);
}

// ---------------------------------------------------------------- expressions

ExprPtr Parser::exprInClause() {
    Clause c(*this, err::SyntaxInExpression);
    exprStart_ = peek().pos;
    ExprPtr e = expr();
    if (hasLexFault_ && atEnd()) fail();  // a stray character right after the expression
    return e;
}

ExprPtr Parser::expr() {
    Depth d(*this);
    return binaryLevel(0);
}

// Imp < Eqv < Xor < Or < And, all left-associative.
ExprPtr Parser::binaryLevel(int level) {
    static const char* ops[] = {"imp", "eqv", "xor", "or", "and"};
    if (level == 5) return notLevel();
    ExprPtr left = binaryLevel(level + 1);
    while (peek().isWord(ops[level])) {
        next();
        left = binary(ops[level], std::move(left), binaryLevel(level + 1));
    }
    return left;
}

ExprPtr Parser::notLevel() {
    if (peek().isWord("not")) {
        Depth d(*this);
        size_t pos = next().pos;
        auto e = make(Expr::Kind::Unary, pos);
        e->text = "not";
        e->args.push_back(notLevel());
        close(*e);
        return e;
    }
    return comparison();
}

ExprPtr Parser::comparison() {
    ExprPtr left = concat();
    while (true) {
        const Token& t = peek();
        if (t.kind == Tok::Symbol &&
            (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=")) {
            std::string op = next().text;
            left = binary(op, std::move(left), concat());
            continue;
        }
        bool negated = false;
        if (t.isWord("not") && (peek(1).isWord("like") || peek(1).isWord("between") || peek(1).isWord("in"))) {
            next();
            negated = true;
        }
        const Token& k = peek();
        if (k.isWord("like")) {
            next();
            auto e = make(Expr::Kind::Like, left->pos);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(concat());
            close(*e);
            left = std::move(e);
        } else if (k.isWord("between")) {
            next();
            auto e = make(Expr::Kind::Between, left->pos);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(concat());
            expectWord("and");
            e->args.push_back(concat());
            close(*e);
            left = std::move(e);
        } else if (k.isWord("in")) {
            next();
            expect("(");
            size_t pos = left->pos;
            if (peek().isWord("select")) {
                auto e = make(Expr::Kind::InQuery, pos);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->query = query();
                expect(")");
                close(*e);
                left = std::move(e);
            } else {
                auto e = make(Expr::Kind::InList, pos);
                e->negated = negated;
                e->args.push_back(std::move(left));
                do e->args.push_back(expr());
                while (accept(","));
                expect(")");
                close(*e);
                left = std::move(e);
            }
        } else if (!negated && k.isWord("is")) {
            next();
            auto e = make(Expr::Kind::IsNull, left->pos);
            e->negated = acceptWord("not");
            expectWord("null");
            e->args.push_back(std::move(left));
            close(*e);
            left = std::move(e);
        } else {
            if (negated) fail();
            return left;
        }
    }
}

ExprPtr Parser::concat() {
    ExprPtr left = additive();
    while (accept("&")) left = binary("&", std::move(left), additive());
    return left;
}

ExprPtr Parser::additive() {
    ExprPtr left = modLevel();
    while (peek().isSymbol("+") || peek().isSymbol("-")) {
        std::string op = next().text;
        left = binary(op, std::move(left), modLevel());
    }
    return left;
}

ExprPtr Parser::modLevel() {
    ExprPtr left = intDiv();
    while (acceptWord("mod")) left = binary("mod", std::move(left), intDiv());
    return left;
}

ExprPtr Parser::intDiv() {
    ExprPtr left = multiplicative();
    while (accept("\\")) left = binary("\\", std::move(left), multiplicative());
    return left;
}

ExprPtr Parser::multiplicative() {
    ExprPtr left = unary();
    while (peek().isSymbol("*") || peek().isSymbol("/")) {
        std::string op = next().text;
        left = binary(op, std::move(left), unary());
    }
    return left;
}

ExprPtr Parser::unary() {
    if (peek().isSymbol("-") || peek().isSymbol("+")) {
        Depth d(*this);
        const Token& t = next();
        bool minus = t.text == "-";
        size_t pos = t.pos;
        ExprPtr operand = unary();
        if (!minus) return operand;
        auto e = make(Expr::Kind::Unary, pos);
        e->text = "-";
        e->args.push_back(std::move(operand));
        close(*e);
        return e;
    }
    return power();
}

// ^ binds tighter than negation (-2^2 is -4) but takes a signed exponent (2^-1).
ExprPtr Parser::power() {
    ExprPtr left = primary();
    while (accept("^")) {
        ExprPtr right;
        if (peek().isSymbol("-")) {
            size_t pos = next().pos;
            right = make(Expr::Kind::Unary, pos);
            right->text = "-";
            right->args.push_back(primary());
            close(*right);
        } else {
            right = primary();
        }
        left = binary("^", std::move(left), std::move(right));
    }
    return left;
}

ExprPtr Parser::primary() {
    Depth d(*this);
    const Token& t = peek();
    size_t pos = t.pos;
    switch (t.kind) {
    case Tok::String: {
        auto e = make(Expr::Kind::Literal, pos);
        e->lit = Expr::Lit::Text;
        e->text = next().text;
        close(*e);
        return e;
    }
    case Tok::Number: {
        auto e = make(Expr::Kind::Literal, pos);
        e->text = next().text;
        bool integral = e->text.find_first_of(".eE") == std::string::npos;
        if (integral) {
            errno = 0;
            std::strtoll(e->text.c_str(), nullptr, 10);
            integral = errno != ERANGE;
        }
        e->lit = integral ? Expr::Lit::Integer : Expr::Lit::Real;
        close(*e);
        return e;
    }
    case Tok::Date: {
        auto value = dates::parse(t.text);
        if (!value) fail();
        next();
        auto e = make(Expr::Kind::Literal, pos);
        e->lit = Expr::Lit::Date;
        e->text = dates::format(*value);
        close(*e);
        return e;
    }
    case Tok::Symbol:
        if (t.text == "(") {
            next();
            if (peek().isWord("select")) {
                auto e = make(Expr::Kind::Subquery, pos);
                e->query = query();
                expect(")");
                close(*e);
                return e;
            }
            ExprPtr inner = expr();
            expect(")");
            close(*inner);
            inner->pos = pos;
            return inner;
        }
        fail();
    case Tok::Name:
        if (t.isWord("null") || t.isWord("true") || t.isWord("false")) {
            auto e = make(Expr::Kind::Literal, pos);
            if (t.isWord("null")) {
                e->lit = Expr::Lit::Null;
            } else {
                e->lit = Expr::Lit::Boolean;
                e->text = t.isWord("true") ? "-1" : "0";
            }
            next();
            close(*e);
            return e;
        }
        if (t.isWord("exists")) {
            next();
            expect("(");
            auto e = make(Expr::Kind::Exists, pos);
            if (!peek().isWord("select")) fail();
            e->query = query();
            expect(")");
            close(*e);
            return e;
        }
        // Left(, Right( and Asc( are the functions, not the keywords.
        if (peek(1).isSymbol("(") && (!reserved(t) || t.isWord("left") || t.isWord("right") || t.isWord("asc"))) {
            auto e = make(Expr::Kind::Call, pos);
            e->text = next().text;
            next();
            if (!accept(")")) {
                if (peek().isSymbol("*") && peek(1).isSymbol(")")) {
                    next();
                    e->star = true;
                } else {
                    if (acceptWord("distinct")) e->distinct = true;
                    do e->args.push_back(expr());
                    while (accept(","));
                }
                expect(")");
            }
            close(*e);
            return e;
        }
        if (reserved(t)) fail();
        [[fallthrough]];
    case Tok::Bracketed: {
        std::string first = next().text;
        if (peek().isSymbol(".") || peek().isSymbol("!")) {
            next();
            if (peek().isSymbol("*")) {
                next();
                auto e = make(Expr::Kind::Star, pos);
                e->qualifier = first;
                close(*e);
                return e;
            }
            auto e = make(Expr::Kind::Column, pos);
            e->qualifier = first;
            e->text = name();
            // Longer paths such as Forms!Orders!OrderID name no table's field:
            // they are kept whole and become parameters.
            while (peek().isSymbol(".") || peek().isSymbol("!")) {
                next();
                e->qualifier += "." + e->text;
                e->text = name();
            }
            close(*e);
            return e;
        }
        auto e = make(Expr::Kind::Column, pos);
        e->text = first;
        close(*e);
        return e;
    }
    case Tok::End:
        fail();
    }
    fail();
}

// ---------------------------------------------------------------- queries

QueryPtr Parser::query() {
    Depth d(*this);
    auto q = std::make_unique<Query>();
    while (true) {
        if (peek().isSymbol("(") && peek(1).isWord("select")) {
            next();
            QueryPtr inner = query();
            expect(")");
            if (inner->parts.size() != 1 || !inner->orderBy.empty()) failWith(3319);
            q->parts.push_back(std::move(inner->parts[0]));
        } else {
            q->parts.push_back(selectCore());
        }
        if (!acceptWord("union")) break;
        q->unionAll.push_back(acceptWord("all"));
    }
    orderBy(q->orderBy);
    return q;
}

std::unique_ptr<Select> Parser::selectCore() {
    Clause c(*this, err::SyntaxInSelect);
    expectWord("select");
    auto s = std::make_unique<Select>();
    if (acceptWord("distinct")) s->distinct = true;
    else if (acceptWord("distinctrow")) s->distinctRow = true;
    else acceptWord("all");
    if (acceptWord("top")) {
        if (peek().kind != Tok::Number) fail();
        double n = std::strtod(next().text.c_str(), nullptr);
        if (n <= 0) fail();
        s->top = n;
        if (acceptWord("percent")) s->topPercent = true;
        else if (n != std::floor(n)) fail();
    }
    selectItems(*s);
    if (acceptWord("into")) s->into = name();
    if (acceptWord("from")) {
        s->from = fromList();
        if (isName(peek())) failWith(err::SyntaxInFrom);
    }
    if (acceptWord("where")) s->where = exprInClause();
    if (peek().isWord("group")) {
        next();
        expectWord("by");
        do s->groupBy.push_back(exprInClause());
        while (accept(","));
    }
    if (acceptWord("having")) s->having = exprInClause();
    return s;
}

void Parser::selectItems(Select& s) {
    if (peek().isWord("from") || (atEnd() && !hasLexFault_)) fail();  // no fields: a fault of the SELECT
    do {
        SelectItem item;
        if (peek().isSymbol("*")) {
            item.expr = make(Expr::Kind::Star, next().pos);
            close(*item.expr);
        } else {
            item.expr = exprInClause();
            if (acceptWord("as")) {
                if (!isName(peek()) && peek().kind != Tok::String) fail();
                item.alias = next().text;
            } else if (!peek().isSymbol(",") && !atEnd() && !peek().isSymbol(";") && !peek().isSymbol(")") &&
                       !peek().isWord("from") && !peek().isWord("into") && !peek().isWord("union") &&
                       !peek().isWord("order") && !peek().isWord("where")) {
                Clause c(*this, err::SyntaxInExpression);
                fail();  // two expressions with no operator between them
            }
        }
        s.items.push_back(std::move(item));
    } while (accept(","));
}

std::vector<TableRefPtr> Parser::fromList() {
    Clause c(*this, err::SyntaxInFrom);
    std::vector<TableRefPtr> out;
    do out.push_back(joined());
    while (accept(","));
    return out;
}

TableRefPtr Parser::joined() {
    Depth d(*this);
    TableRefPtr left = tablePrimary();
    int joins = 0;
    while (true) {
        TableRef::JoinType type;
        if (acceptWord("inner")) type = TableRef::JoinType::Inner;
        else if (acceptWord("left")) type = TableRef::JoinType::Left, acceptWord("outer");
        else if (acceptWord("right")) type = TableRef::JoinType::Right, acceptWord("outer");
        else if (peek().isWord("cross")) next(), type = TableRef::JoinType::Cross;
        else break;
        expectWord("join");
        if (++joins > kMaxDepth) fail();
        auto j = std::make_unique<TableRef>();
        j->kind = TableRef::Kind::Join;
        j->join = type;
        j->left = std::move(left);
        j->right = tablePrimary();
        if (type != TableRef::JoinType::Cross) {
            expectWord("on");
            j->on = exprInClause();
        }
        left = std::move(j);
    }
    return left;
}

TableRefPtr Parser::tablePrimary() {
    Depth d(*this);
    auto t = std::make_unique<TableRef>();
    if (accept("(")) {
        if (peek().isWord("select")) {
            t->kind = TableRef::Kind::Subquery;
            t->query = query();
            expect(")");
        } else {
            TableRefPtr inner = joined();
            expect(")");
            if (inner->kind == TableRef::Kind::Join) return inner;
            t = std::move(inner);
        }
    } else {
        t->kind = TableRef::Kind::Named;
        t->name = name();
    }
    if (acceptWord("as")) t->alias = name();
    else if (isName(peek()) && !peek().isWord("cross")) t->alias = next().text;
    return t;
}

void Parser::orderBy(std::vector<OrderItem>& out) {
    if (!peek().isWord("order")) return;
    Clause c(*this, err::SyntaxInSelect);
    next();
    expectWord("by");
    do {
        OrderItem item;
        item.expr = exprInClause();
        if (acceptWord("desc")) item.descending = true;
        else acceptWord("asc");
        out.push_back(std::move(item));
    } while (accept(","));
}

// ---------------------------------------------------------------- statements

std::unique_ptr<Statement> Parser::statement() {
    auto st = std::make_unique<Statement>();
    Clause c(*this, err::InvalidSql);
    if (peek().isWord("parameters")) parameters(*st);
    const Token& t = peek();
    if (t.isWord("select") || (t.isSymbol("(") && peek(1).isWord("select"))) {
        st->kind = Statement::Kind::Select;
        st->query = query();
        if (peek().isWord("with") && peek(1).isWord("owneraccess")) {  // saved with the query; no meaning here
            Clause c2(*this, err::SyntaxInSelect);
            next();
            next();
            expectWord("option");
        }
        finish(err::SyntaxInSelect);
    } else if (t.isWord("transform")) {
        next();
        st->kind = Statement::Kind::Crosstab;
        st->transform = exprInClause();
        if (acceptWord("as")) st->transformAlias = name();  // the value's name, as saved queries keep it
        st->query = query();
        Clause c2(*this, err::SyntaxInSelect);
        expectWord("pivot");
        st->pivot = exprInClause();
        if (acceptWord("in")) {
            expect("(");
            do exprInClause();
            while (accept(","));
            expect(")");
        }
        finish(err::SyntaxInSelect);
    } else if (t.isWord("insert")) {
        insert(*st);
    } else if (t.isWord("update")) {
        update(*st);
    } else if (t.isWord("delete")) {
        remove(*st);
    } else if (t.isWord("create")) {
        create(*st);
    } else if (t.isWord("drop")) {
        drop(*st);
    } else if (t.isWord("alter")) {
        alter(*st);
    } else {
        failWith(err::InvalidSql);
    }
    return st;
}

void Parser::parameters(Statement& st) {
    Clause c(*this, err::SyntaxInExpression);
    exprStart_ = next().pos;
    do {
        Parameter prm;
        prm.name = name();
        if (peek().isSymbol(".") || peek().isSymbol("!")) {
            next();
            prm.name += "." + name();
        }
        if (peek().kind != Tok::Name) fail();
        prm.type = next().text;
        if (!typeFromWord(prm.type) && !equalsNoCase(prm.type, "Value")) fail();
        if (accept("(")) {
            if (peek().kind != Tok::Number) fail();
            next();
            expect(")");
        }
        st.parameters.push_back(std::move(prm));
    } while (accept(","));
    expect(";");
}

void Parser::insert(Statement& st) {
    Clause c(*this, err::SyntaxInInsert);
    st.kind = Statement::Kind::Insert;
    next();
    expectWord("into");
    st.table = name();
    if (accept("(")) {
        do {
            std::string col = name();
            if (accept(".")) col = name();  // Table.Field names the field
            st.columns.push_back(col);
        } while (accept(","));
        expect(")");
    }
    if (acceptWord("values")) {
        do {
            expect("(");
            std::vector<ExprPtr> row;
            do row.push_back(exprInClause());
            while (accept(","));
            expect(")");
            st.values.push_back(std::move(row));
        } while (accept(","));
    } else if (peek().isWord("select") || (peek().isSymbol("(") && peek(1).isWord("select"))) {
        st.query = query();
    } else {
        fail();
    }
    finish(err::SyntaxInInsert);
}

void Parser::update(Statement& st) {
    Clause c(*this, err::SyntaxInUpdate);
    st.kind = Statement::Kind::Update;
    next();
    {
        Clause f(*this, err::SyntaxInUpdate);
        do st.from.push_back(joined());
        while (accept(","));
    }
    expectWord("set");
    do {
        Assignment a;
        a.column = name();
        if (peek().isSymbol(".") || peek().isSymbol("!")) {
            next();
            a.qualifier = a.column;
            a.column = name();
        }
        expect("=");
        a.value = exprInClause();
        st.assignments.push_back(std::move(a));
    } while (accept(","));
    if (acceptWord("where")) st.where = exprInClause();
    finish(err::SyntaxInUpdate);
}

void Parser::remove(Statement& st) {
    Clause c(*this, err::SyntaxInDelete);
    st.kind = Statement::Kind::Delete;
    next();
    if (!peek().isWord("from")) {
        // DELETE *, DELETE t.*, DELETE t.Field, ...: which rows is said by FROM.
        do {
            if (accept("*")) continue;
            std::string first = name();
            if (accept(".") || accept("!")) {
                if (!accept("*")) name();
                if (st.deleteTarget.empty()) st.deleteTarget = first;
            } else if (st.deleteTarget.empty()) {
                st.deleteTarget = first;
            }
        } while (accept(","));
    }
    expectWord("from");
    {
        do st.from.push_back(joined());
        while (accept(","));
    }
    if (acceptWord("where")) st.where = exprInClause();
    finish(err::SyntaxInDelete);
}

std::vector<IndexColumn> Parser::indexColumns() {
    std::vector<IndexColumn> cols;
    expect("(");
    do {
        IndexColumn ic;
        ic.name = name();
        if (acceptWord("desc")) ic.descending = true;
        else acceptWord("asc");
        cols.push_back(ic);
    } while (accept(","));
    expect(")");
    return cols;
}

// [CONSTRAINT name] PRIMARY KEY (cols) | UNIQUE (cols) | FOREIGN KEY (cols) REFERENCES t [(cols)]
bool Parser::tableConstraint(std::vector<TableConstraint>& out) {
    if (!peek().isWord("constraint") && !peek().isWord("primary") && !peek().isWord("unique") &&
        !peek().isWord("foreign"))
        return false;
    Clause c(*this, 3289);
    TableConstraint tc;
    if (acceptWord("constraint")) tc.name = name();
    if (acceptWord("primary")) {
        expectWord("key");
        tc.primaryKey = true;
    } else if (acceptWord("unique")) {
        tc.primaryKey = false;
    } else if (acceptWord("foreign")) {
        // Relationships are not kept by the schema layer: read and drop.
        expectWord("key");
        indexColumns();
        expectWord("references");
        name();
        if (peek().isSymbol("(")) indexColumns();
        return true;
    } else {
        fail();
    }
    tc.columns = indexColumns();
    out.push_back(std::move(tc));
    return true;
}

ColumnDef Parser::columnDef() {
    Clause c(*this, err::SyntaxInFieldDef);
    ColumnDef col;
    col.name = name();
    if (peek().kind != Tok::Name) fail();
    const Token& typeTok = peek();
    auto info = typeFromWord(typeTok.text);
    if (!info) fail();
    next();
    col.type = info->code;
    col.autoIncrement = info->autoIncrement;
    if (col.type == dbText || col.type == dbChar) col.size = kDefaultTextSize;
    if (accept("(")) {
        if (peek().kind != Tok::Number) fail();
        double size = std::strtod(next().text.c_str(), nullptr);
        double scale = 0;
        if (accept(",")) {  // Decimal (precision, scale)
            if (peek().kind != Tok::Number) fail();
            scale = std::strtod(next().text.c_str(), nullptr);
        }
        expect(")");
        if (col.type == dbText || col.type == dbChar) {
            if (size < 1 || size > kDefaultTextSize || size != std::floor(size)) fail();
            col.size = static_cast<int>(size);
        }
        if (col.type == dbDecimal) {
            bool whole = size == std::floor(size) && scale == std::floor(scale);
            if (!whole || size < 1 || size > kMaxDecimalPrecision || scale < 0 || scale > size) fail();
            col.precision = static_cast<int>(size);
            col.scale = static_cast<int>(scale);
        }
    }
    if (col.type == dbDecimal && col.precision == 0) col.precision = kDefaultDecimalPrecision;
    while (true) {
        if (acceptWord("not")) {
            expectWord("null");
            col.notNull = true;
        } else if (acceptWord("null")) {
        } else if (acceptWord("primary")) {
            expectWord("key");
            col.primaryKey = true;
        } else if (acceptWord("unique")) {
            col.unique = true;
        } else if (acceptWord("constraint")) {
            name();
            if (acceptWord("primary")) {
                expectWord("key");
                col.primaryKey = true;
            } else if (acceptWord("unique")) {
                col.unique = true;
            } else if (acceptWord("not")) {
                expectWord("null");
                col.notNull = true;
            } else if (acceptWord("references")) {
                name();
                if (peek().isSymbol("(")) indexColumns();
            } else {
                fail();
            }
        } else if (acceptWord("references")) {
            name();
            if (peek().isSymbol("(")) indexColumns();
        } else if (peek().isWord("with") && (peek(1).isWord("compression") || peek(1).isWord("comp"))) {
            next();
            next();
        } else {
            break;
        }
    }
    return col;
}

void Parser::create(Statement& st) {
    Clause c(*this, 3290);
    next();
    bool unique = acceptWord("unique");
    if (acceptWord("index")) {
        st.kind = Statement::Kind::CreateIndex;
        st.createIndex.unique = unique;
        st.createIndex.index = name();
        expectWord("on");
        st.createIndex.table = name();
        st.createIndex.columns = indexColumns();
        if (acceptWord("with")) {
            bool any = false;
            while (true) {
                if (acceptWord("primary")) st.createIndex.primary = true;
                else if (acceptWord("disallow")) expectWord("null"), st.createIndex.disallowNull = true;
                else if (acceptWord("ignore")) expectWord("null"), st.createIndex.ignoreNulls = true;
                else break;
                any = true;
            }
            if (!any) fail();
        }
        finish(3290);
        return;
    }
    if (unique) fail();
    if (!acceptWord("table")) failWith(err::InvalidSql);
    st.kind = Statement::Kind::CreateTable;
    st.createTable.table = name();
    expect("(");
    do {
        if (!tableConstraint(st.createTable.constraints)) st.createTable.columns.push_back(columnDef());
    } while (accept(","));
    expect(")");
    finish(3290);
}

void Parser::drop(Statement& st) {
    Clause c(*this, 3295);
    next();
    if (acceptWord("table")) {
        st.kind = Statement::Kind::DropTable;
        st.dropTable.table = name();
    } else if (acceptWord("index")) {
        st.kind = Statement::Kind::DropIndex;
        st.dropIndex.index = name();
        expectWord("on");
        st.dropIndex.table = name();
    } else {
        failWith(err::InvalidSql);
    }
    finish(3295);
}

void Parser::alter(Statement& st) {
    Clause c(*this, 3293);
    next();
    if (!acceptWord("table")) failWith(err::InvalidSql);
    st.kind = Statement::Kind::AlterTable;
    AlterTable& a = st.alterTable;
    a.table = name();
    if (acceptWord("add")) {
        a.add = true;
        if (!tableConstraint(a.addConstraints)) {
            acceptWord("column");
            a.column = columnDef();
        }
    } else if (acceptWord("drop")) {
        a.add = false;
        acceptWord("column");
        a.dropColumn = name();
    } else {
        fail();
    }
    finish(3293);
}

}  // namespace

std::unique_ptr<Statement> parseStatement(std::string_view text) {
    Parser p(text, err::InvalidSql);
    auto st = p.statement();
    st->text = std::string(text);
    return st;
}

ExprPtr parseExpression(std::string_view text, int syntaxError) {
    Parser p(text, syntaxError);
    return p.bareExpression();
}

}  // namespace engine::sql
