// Generated and mutated statements through the parser and emitter: they must
// only ever return or throw engine::Error, and what is emitted must prepare.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "engine/error.h"
#include "engine/sql/sql.h"
#include "sample_db.h"

using namespace engine;
using namespace engine::sql;

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::string statement() {
        switch (pick(8)) {
        case 0:
            return "INSERT INTO Empty (ID, Label) " +
                   (pick(2) ? "VALUES (" + expr(2) + ", " + expr(2) + ")" : select(1));
        case 1: {
            std::string t = table();
            return "UPDATE " + t + " SET " + field() + " = " + expr(2) + where();
        }
        case 2: {
            std::string t = table();
            return "DELETE * FROM " + t + where();
        }
        default: return select(2);
        }
    }

private:
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    template <size_t N>
    std::string one(const char* const (&items)[N]) { return items[pick(N)]; }

    // Fields are mostly those of the last table named, so that many statements
    // get past name resolution and reach the emitter.
    std::string table() {
        static const char* const t[] = {"Orders", "Customers", "[Order Details]", "Products", "[Big Orders]", "Empty",
                                        "Nowhere", "Orders AS o", "Customers c"};
        static const std::vector<std::vector<const char*>> f = {
            {"OrderID", "[Ship Name]", "Freight", "OrderDate", "Shipped", "Orders.OrderID"},
            {"CustomerID", "City", "Country", "Customers.City"}, {"Quantity", "[Unit Price]", "Discount"},
            {"ProductName", "Price", "Discontinued", "Notes"}, {"OrderID", "Cost"}, {"ID", "Label"}, {"Unknown"},
            {"o.Freight", "o.OrderID", "[Ship Name]"},
            {"c.City", "CustomerID"}};
        size_t i = pick(sizeof t / sizeof *t);
        fields_ = f[i];
        return t[i];
    }
    std::string field() {
        static const char* const f[] = {"OrderID", "[Ship Name]", "Freight", "OrderDate", "Shipped", "CustomerID",
                                        "City", "Orders.OrderID", "o.Freight", "c.City", "Quantity", "[Unit Price]",
                                        "ProductName", "Label", "ID", "Cost", "Unknown"};
        if (!fields_.empty() && pick(6)) return fields_[pick(fields_.size())];
        return one(f);
    }
    std::string literal() {
        static const char* const l[] = {"1", "0", "-3", "2.5", "'a*'", "'ALFKI'", "\"x\"", "#1/31/2024#",
                                        "#2024-02-29 10:00:00#", "True", "False", "Null", "''", "1E3", "1E300",
                                        "-99999999999", "'[z-a]'", "'yyyy-mm-dd hh:nn'", "'#,##0.00;(0)'", "'m'"};
        return one(l);
    }
    std::string expr(int depth) {
        if (depth <= 0) return pick(2) ? field() : literal();
        static const char* const ops[] = {" + ", " - ", " * ", " / ", " \\ ", " Mod ", " ^ ", " & ", " = ", " <> ",
                                          " < ", " >= ", " And ", " Or ", " Xor ", " Eqv ", " Imp ", " Like "};
        struct Fn { const char* name; int args; };
        static const Fn fns[] = {{"Len", 1}, {"Left", 2}, {"Mid", 3}, {"IIf", 3}, {"Nz", 2}, {"IsNull", 1},
                                 {"Year", 1}, {"Format", 2}, {"UCase", 1}, {"Round", 2}, {"InStr", 2},
                                 {"DateAdd", 3}, {"Val", 1}, {"CStr", 1}, {"Switch", 2}, {"Choose", 3},
                                 {"Trim", 1}, {"Replace", 3}, {"DateDiff", 3}, {"Abs", 1}};
        switch (pick(9)) {
        case 0: return expr(depth - 1) + one(ops) + expr(depth - 1);
        case 1: return "(" + expr(depth - 1) + ")";
        case 2: return "Not " + expr(depth - 1);
        case 3: return "-" + expr(depth - 1);
        case 4: {
            const Fn& f = fns[pick(sizeof fns / sizeof *fns)];
            std::string s = std::string(f.name) + "(" + expr(depth - 1);
            for (int i = 1; i < f.args; ++i) s += ", " + expr(depth - 1);
            return s + ")";
        }
        case 5: return expr(depth - 1) + (pick(2) ? " Is Null" : " Is Not Null");
        case 6: return expr(depth - 1) + " Between " + expr(depth - 1) + " And " + expr(depth - 1);
        case 7: return expr(depth - 1) + " In (" + expr(depth - 1) + ", " + expr(depth - 1) + ")";
        default: return pick(3) ? expr(depth - 1) : "Exists (" + select(0) + ")";
        }
    }
    std::string where() { return pick(3) ? " WHERE " + expr(2) : ""; }
    std::string from() {
        switch (pick(5)) {
        case 0: {
            std::string a = table();
            return a + ", " + table();
        }
        case 1: fields_ = {"o.OrderID", "c.City", "[Ship Name]", "Country"};
            return "Orders AS o INNER JOIN Customers AS c ON o.CustomerID = c.CustomerID";
        case 2: fields_ = {"Orders.OrderID", "Quantity", "ProductName", "Freight"};
            return "(Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) LEFT JOIN "
                       "Products ON [Order Details].ProductID = Products.ProductID";
        default: return table();
        }
    }
    std::string select(int depth) {
        static const char* const heads[] = {"SELECT ", "SELECT DISTINCT ", "SELECT TOP 3 ", "SELECT TOP 50 PERCENT ",
                                            "SELECT DISTINCTROW "};
        std::string source = from();
        std::string s = one(heads);
        if (pick(4) == 0) s += "*";
        else {
            static const char* const aggregates[] = {"Count(*)", "Sum(", "Max(", "First(", "StDev("};
            std::string a = one(aggregates);
            s += a.back() == '(' ? a + expr(depth) + ")" : a;
            if (pick(2)) s = one(heads) + expr(depth);
            for (size_t i = pick(3); i > 0; --i) s += ", " + expr(depth) + (pick(2) ? " AS A" + std::to_string(i) : "");
        }
        s += " FROM " + source + where();
        if (pick(4) == 0) s += " GROUP BY " + field() + (pick(2) ? " HAVING Count(*) > 1" : "");
        if (pick(3) == 0) s += " ORDER BY " + field() + (pick(2) ? " DESC" : "");
        if (depth > 0 && pick(6) == 0) s += (pick(2) ? " UNION " : " UNION ALL ") + select(depth - 1);
        return s;
    }

    std::mt19937 rng_;
    std::vector<const char*> fields_;
};

std::string mutate(std::string s, std::mt19937& rng) {
    static const char* const bits[] = {"(", ")", "[", "]", "'", "\"", "#", ",", ".", "*", " SELECT ", " FROM ", " WHERE ",
                                       " AND ", " Not ", " In ", " Like ", ";", "!", "\\", "^", "é", "\x01"};
    auto n = [&](size_t k) { return std::uniform_int_distribution<size_t>(0, k - 1)(rng); };
    for (size_t i = 1 + n(3); i > 0 && !s.empty(); --i) {
        size_t at = n(s.size());
        switch (n(4)) {
        case 0: s.erase(at, 1 + n(6)); break;
        case 1: s.insert(at, bits[n(sizeof bits / sizeof *bits)]); break;
        case 2: s[at] = static_cast<char>(n(256)); break;
        default: {
            size_t b = n(s.size());
            s.insert(at, s.substr(b, n(12)));
        }
        }
    }
    return s;
}

// Parses, emits and prepares one statement; anything but engine::Error fails.
void exercise(sqltest::SampleDb& db, const std::string& text, int& emitted) {
    try {
        Parsed p = parse(text);
        std::string sql;
        switch (p.kind()) {
        case StatementKind::Select: case StatementKind::Union: case StatementKind::MakeTable:
            sql = emitSelect(p, db.catalog()).sql;
            break;
        case StatementKind::Append: case StatementKind::Update: case StatementKind::Delete:
            sql = emitAction(p, db.catalog()).sql;
            break;
        default: return;
        }
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db.db(), sql.c_str(), -1, &st, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db.db()) << "\nstatement: " << text << "\nemitted: " << sql;
        // Run it too: the functions meet odd values (a failure inside one is fine).
        for (int row = 0; rc == SQLITE_OK && row < 50 && sqlite3_step(st) == SQLITE_ROW; ++row) {
        }
        sqlite3_finalize(st);
        ++emitted;
    } catch (const Error& e) {
        EXPECT_GT(e.number(), 2999) << text;
        EXPECT_FALSE(std::string(e.what()).empty());
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception " << e.what() << " for: " << text;
    }
}

TEST(FuzzSmoke, GeneratedAndMutatedStatementsOnlyThrowEngineErrors) {
    sqltest::SampleDb db;
    // LEDGERLY_FUZZ_SEED runs another sequence, for longer local runs.
    const char* seedText = std::getenv("LEDGERLY_FUZZ_SEED");
    unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20240131u;
    Generator gen(seed);
    std::mt19937 rng(seed + 7);
    int emitted = 0;
    for (int i = 0; i < 1500; ++i) {
        std::string s = gen.statement();
        exercise(db, s, emitted);
        exercise(db, mutate(s, rng), emitted);
    }
    // Statements of the case file, mutated.
    std::ifstream in(std::string(LEDGERLY_TEST_DATA) + "/sql_dialect.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("sql: ", 0) != 0) continue;
        for (int k = 0; k < 8; ++k) exercise(db, mutate(line.substr(5), rng), emitted);
    }
    EXPECT_GT(emitted, 300);  // the generator reaches the emitter, not just the parser
}

TEST(FuzzSmoke, LikeWithManyStarsStaysFast) {
    sqltest::SampleDb db;
    std::string text(5000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i) pattern += "*a";
    pattern += "*b";
    std::string matching = pattern.substr(0, pattern.size() - 2);
    auto out = db.run("SELECT '" + text + "' Like '" + pattern + "', '" + text + "' Like '" + matching + "'");
    ASSERT_EQ(out.rows.size(), 1u) << out.errorText;
    EXPECT_EQ(out.rows[0], (std::vector<std::string>{"0", "-1"}));
}

}  // namespace
