// Long statements of the kind query builders write: chains of thousands of
// terms and long In lists run; nesting past the documented limit is refused
// with an error that names the limit.
#include <gtest/gtest.h>

#include <functional>

#include "sample_db.h"

using namespace sqltest;

namespace {

std::string joined(int n, const std::function<std::string(int)>& term, const std::string& op) {
    std::string out;
    for (int i = 0; i < n; ++i) out += (i ? op : "") + term(i);
    return out;
}

// expected: the one value it returns.
struct LongCase { const char* what; std::string statement; std::string expected; };

TEST(Limits, LongChainsAndInListsRun) {
    SampleDb db;
    // Independent counts to compare with.
    std::string low = db.run("SELECT Count(*) FROM Orders WHERE OrderID < 10000").rows.at(0).at(0);
    std::string none = "0";
    const std::vector<LongCase> cases = {
        {"10,000-term sum", "SELECT " + joined(10000, [](int) { return "1"; }, " + "), "10000"},
        {"10,000-term product", "SELECT " + joined(10000, [](int i) { return i % 2 ? "1" : "1.0"; }, " * "), "1"},
        {"10,000 Or terms",
         "SELECT Count(*) FROM Orders WHERE " +
             joined(10000, [](int i) { return "OrderID = " + std::to_string(i); }, " OR "),
         low},
        {"10,000 And terms",
         "SELECT Count(*) FROM Orders WHERE " +
             joined(10000, [](int i) { return "OrderID < " + std::to_string(i + 10000); }, " AND "),
         low},
        {"Or of bitwise values", "SELECT " + joined(5000, [](int i) { return i == 4999 ? "4" : "1"; }, " Or "), "5"},
        {"5,000-item In list",
         "SELECT Count(*) FROM Orders WHERE OrderID In (" +
             joined(5000, [](int i) { return std::to_string(i); }, ", ") + ")",
         db.run("SELECT Count(*) FROM Orders WHERE OrderID < 5000").rows.at(0).at(0)},
        {"5,000-item Not In list",
         "SELECT Count(*) FROM Orders WHERE OrderID Not In (" +
             joined(5000, [](int i) { return std::to_string(i + 100000); }, ", ") + ") And OrderID < 0",
         none},
        {"900-term difference", "SELECT 1000" + joined(900, [](int) { return " - 1"; }, ""), "100"},
        {"3,000-term concatenation", "SELECT Len(" + joined(3000, [](int) { return "'ab'"; }, " & ") + ")", "6000"},
        // Text and dates keep their left-to-right meaning in a chain.
        {"text chain", "SELECT 'a' + 'b' + 'c'", "abc"}, {"date chain", "SELECT #2024-01-30# + 1 + 2", "2024-02-02"},
    };
    for (const auto& c : cases) {
        Outcome out = db.run(c.statement);
        ASSERT_EQ(out.error, 0) << c.what << ": " << out.errorText;
        ASSERT_EQ(out.rows.size(), 1u) << c.what;
        EXPECT_EQ(out.rows[0].at(0), c.expected) << c.what;
    }
}

TEST(Limits, NestingPastTheLimitNamesIt) {
    SampleDb db;
    const std::vector<std::string> deep = {
        "SELECT " + std::string(30, '(') + "1" + std::string(30, ')'),
        "SELECT " + joined(30, [](int) { return "Abs("; }, "") + "1" + std::string(30, ')'),
        "SELECT 1" + joined(30, [](int) { return " - 1 + 1"; }, ""),
    };
    for (const auto& s : deep) {
        Outcome out = db.run(s);
        EXPECT_EQ(out.error, 3360) << s.substr(0, 40);
        EXPECT_NE(out.errorText.find("20 levels"), std::string::npos) << out.errorText;
    }
    // Just inside the limit still runs, whatever the shape of the nesting.
    const std::vector<std::string> inside = {
        "SELECT " + std::string(12, '(') + "7" + std::string(12, ')'),
        "SELECT " + joined(12, [](int) { return "Abs("; }, "") + "7" + std::string(12, ')'),
        "SELECT " + joined(12, [](int) { return "7 - ("; }, "") + "7" + std::string(12, ')'),
        "SELECT " + joined(12, [](int) { return "IIf(1 = 1, "; }, "") + "7" + joined(12, [](int) { return ", 0)"; }, ""),
        "SELECT " + joined(12, [](int) { return "Not ("; }, "") + "7 = 7" + std::string(12, ')'),
    };
    for (const auto& s : inside) {
        Outcome ok = db.run(s);
        EXPECT_EQ(ok.error, 0) << s.substr(0, 40) << ": " << ok.errorText;
    }
}

}  // namespace
