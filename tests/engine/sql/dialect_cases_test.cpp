// The dialect from the data file tests/data/sql_dialect.txt: each case runs its
// statements against a fresh sample database and checks the last one's rows,
// error number, output columns or statement kind.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <variant>

#include "engine/error.h"
#include "engine/sql/sql.h"
#include "sample_db.h"

using namespace engine;
using namespace engine::sql;

namespace {

struct Case {
    std::string name;
    int line = 0;
    std::vector<std::string> statements;
    std::vector<std::vector<std::string>> rows;
    bool expectRows = false;
    int error = 0;
    std::string fails;  // text expected in a failure inside a function
    std::string columns;
    int kind = -1;
    int changes = -1;
    std::string findTable, findCriteria;
    std::string says;   // text the error message must contain
    std::string parsed; // what a data-definition statement hands the schema layer
};

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t at = s.find(sep, start);
        out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + sep.size();
    }
    return out;
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<Case> loadCases() {
    std::vector<Case> cases;
    std::ifstream in(std::string(LEDGERLY_TEST_DATA) + "/sql_dialect.txt");
    if (!in) {
        ADD_FAILURE() << "cannot read sql_dialect.txt";
        return cases;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("== ", 0) == 0) {
            cases.push_back(Case{});
            cases.back().name = trim(line.substr(3));
            cases.back().line = number;
            continue;
        }
        if (cases.empty()) continue;
        Case& c = cases.back();
        if ((line[0] == ' ' || line[0] == '\t') && !c.statements.empty()) {
            c.statements.back() += "\n" + line;  // continuation of a statement
            continue;
        }
        size_t colon = line.find(':');
        std::string key = trim(line.substr(0, colon));
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        if (key == "sql") c.statements.push_back(value);
        else if (key == "row") c.rows.push_back(split(value, " | ")), c.expectRows = true;
        else if (key == "norows") c.expectRows = true;
        else if (key == "error") c.error = std::stoi(value);
        else if (key == "fails") c.fails = trim(value);
        else if (key == "cols") c.columns = trim(value);
        else if (key == "says") c.says = trim(value);
        else if (key == "parsed") c.parsed = trim(value);
        else if (key == "kind") c.kind = std::stoi(value);
        else if (key == "changes") c.changes = std::stoi(value);
        else if (key == "find") {
            auto parts = split(value, " | ");
            c.findTable = trim(parts[0]);
            c.findCriteria = parts.size() > 1 ? parts[1] : "";
        } else ADD_FAILURE() << "sql_dialect.txt line " << number << ": unknown key '" << key << "'";
    }
    return cases;
}

const std::vector<Case>& allCases() {
    static const std::vector<Case> cases = loadCases();
    return cases;
}

// A readable form of what the parser hands the schema layer.
std::string describe(const ColumnDef& c) {
    std::string s = c.name + " " + std::to_string(c.type);
    if (c.size) s += "(" + std::to_string(c.size) + ")";
    if (c.precision) s += "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    if (c.autoIncrement) s += " auto";
    if (c.notNull) s += " notnull";
    if (c.primaryKey) s += " pk";
    if (c.unique) s += " unique";
    return s;
}
std::string describe(const std::vector<IndexColumn>& cols) {
    std::string s;
    for (const auto& c : cols) s += (s.empty() ? "" : ",") + c.name + (c.descending ? " desc" : "");
    return s;
}
std::string describe(const Parsed::Ddl& d) {
    struct V {
        std::string operator()(std::monostate) const { return "none"; }
        std::string operator()(const CreateTable& t) const {
            std::string s = "create " + t.table + ":";
            for (const auto& c : t.columns) s += " [" + describe(c) + "]";
            for (const auto& k : t.constraints)
                s += " {" + k.name + (k.primaryKey ? " pk " : " unique ") + describe(k.columns) + "}";
            return s;
        }
        std::string operator()(const DropTable& t) const { return "drop " + t.table; }
        std::string operator()(const AlterTable& t) const {
            std::string s = "alter " + t.table + (t.add ? " add" : " drop " + t.dropColumn);
            if (t.add && !t.column.name.empty()) s += " [" + describe(t.column) + "]";
            for (const auto& k : t.addConstraints)
                s += " {" + k.name + (k.primaryKey ? " pk " : " unique ") + describe(k.columns) + "}";
            return s;
        }
        std::string operator()(const CreateIndex& i) const {
            return "index " + i.index + " on " + i.table + " (" + describe(i.columns) + ")" +
                   (i.unique ? " unique" : "") + (i.primary ? " primary" : "") +
                   (i.disallowNull ? " disallownull" : "") + (i.ignoreNulls ? " ignorenull" : "");
        }
        std::string operator()(const DropIndex& i) const { return "dropindex " + i.index + " on " + i.table; }
    };
    return std::visit(V{}, d);
}

std::string describe(const std::vector<std::vector<std::string>>& rows) {
    std::string s;
    for (const auto& r : rows) {
        s += "  row: ";
        for (size_t i = 0; i < r.size(); ++i) s += (i ? " | " : "") + r[i];
        s += "\n";
    }
    return s.empty() ? "  norows\n" : s;
}

class Dialect : public ::testing::TestWithParam<size_t> {};

TEST_P(Dialect, Case) {
    const Case& c = allCases()[GetParam()];
    SCOPED_TRACE("sql_dialect.txt line " + std::to_string(c.line));
    sqltest::SampleDb db;
    sqltest::Outcome out;

    if (!c.findTable.empty()) {
        // Criteria as FindFirst uses them: SELECT rowid FROM <table> WHERE <condition>.
        auto source = db.catalog().find(c.findTable);
        ASSERT_TRUE(source) << c.findTable;
        try {
            std::string cond = emitCondition(c.findCriteria, *source, &db.catalog());
            out = db.query("SELECT rowid FROM " + source->sqliteRef + " WHERE " + cond + " ORDER BY rowid");
        } catch (const Error& e) {
            out.error = e.number();
            out.errorText = e.what();
        }
    }
    if (!c.parsed.empty()) {
        Parsed p = parse(c.statements.back());
        ASSERT_EQ(p.kind(), StatementKind::DataDefinition);
        EXPECT_EQ(describe(p.ddl()), c.parsed);
        return;
    }
    for (size_t i = 0; i < c.statements.size(); ++i) {
        if (c.kind >= 0 && i + 1 == c.statements.size()) {
            try {
                EXPECT_EQ(static_cast<int>(parse(c.statements[i]).kind()), c.kind);
            } catch (const Error& e) {
                ADD_FAILURE() << "parse failed: " << e.number() << " " << e.what();
            }
        }
        out = db.run(c.statements[i]);
        if (i + 1 < c.statements.size()) {
            ASSERT_EQ(out.error, 0) << "setup statement failed: " << out.errorText;
            ASSERT_FALSE(out.runtimeFailure) << out.errorText;
        }
    }
    if (c.error) {
        EXPECT_EQ(out.error, c.error) << out.errorText << "\n" << describe(out.rows);
        EXPECT_FALSE(out.errorText.empty());
        EXPECT_EQ(out.errorText.find("sqlite"), std::string::npos) << out.errorText;
        if (!c.says.empty()) {
            EXPECT_NE(out.errorText.find(c.says), std::string::npos) << out.errorText;
        }
        return;
    }
    ASSERT_EQ(out.error, 0) << out.errorText;
    if (!c.fails.empty()) {
        EXPECT_TRUE(out.runtimeFailure);
        EXPECT_NE(out.errorText.find(c.fails), std::string::npos) << out.errorText;
        return;
    }
    ASSERT_FALSE(out.runtimeFailure) << out.errorText;
    if (c.expectRows) {
        EXPECT_EQ(describe(out.rows), describe(c.rows));
    }
    if (c.changes >= 0) {
        EXPECT_EQ(out.changes, c.changes);
    }
    if (!c.columns.empty()) {
        std::string got;
        for (size_t i = 0; i < out.columns.size(); ++i)
            got += (i ? ", " : "") + out.columns[i].name + ":" + std::to_string(out.columns[i].type);
        EXPECT_EQ(got, c.columns);
    }
}

INSTANTIATE_TEST_SUITE_P(Sql, Dialect, ::testing::Range<size_t>(0, allCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string n = allCases()[info.param].name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

}  // namespace
