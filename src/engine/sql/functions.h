#pragma once
// The dialect's functions: one table entry per function, shared by the emitter
// (names, argument counts, result types) and by registerFunctions (the code).
#include <string>
#include <string_view>

struct sqlite3_context;
struct sqlite3_value;

namespace engine::sql {

// Result type codes beyond the engine's field types.
constexpr int kTypeOfArg0 = -1;  // the type of the first argument
constexpr int kTypeOfArg1 = -2;  // the type of the second argument

enum class Special {
    None,      // emitted as ldg_<name>(args)
    Aggregate, // emitted through the aggregate table
    IIf,       // CASE WHEN ... THEN ... ELSE ... END
    IsNull,    // x IS NULL
    Nz,        // COALESCE
    Switch,
    Choose,
    Domain,    // DSum("expr", "domain", "criteria"): a scalar subquery over the domain
};

using ScalarImpl = void (*)(sqlite3_context*, int, sqlite3_value**);

struct FunctionDef {
    const char* name;   // as written in a statement, matched ignoring case
    int minArgs;
    int maxArgs;
    int resultType;     // engine type code, kTypeOfArg0/1, or 0 when it varies
    ScalarImpl impl;    // nullptr for Special functions and native aggregates
    Special special = Special::None;
    bool nullIn = true; // a Null argument gives Null without calling impl
    bool volatileValue = false;  // Now(), Date(), Rnd(): not deterministic
};

struct AggregateDef {
    const char* name;      // Sum, First, StDev...
    const char* sqlName;   // sum, ldg_first...
    int resultType;        // kTypeOfArg0 for Min/Max/First/Last
    void (*step)(sqlite3_context*, int, sqlite3_value**);  // nullptr for SQLite's own
    void (*final)(sqlite3_context*);
};

const FunctionDef* findFunction(std::string_view name);
const AggregateDef* findAggregate(std::string_view name);

// The SQLite name a scalar function is registered under: ldg_left.
std::string sqlFunctionName(const FunctionDef& f);

}  // namespace engine::sql
