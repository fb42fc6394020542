#pragma once
// Small helpers shared by the object-model tests: error numbers, tables made
// through the object model, rows added through recordsets, raw SQLite reads.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dao.h"
#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "support/case_file.h"
#include "support/tempdir.h"

namespace enginetest {

// The engine error number `f` raises, 0 when it raises none.
inline int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const engine::Error& e) {
        return e.number();
    }
    return 0;
}

// The error `f` raises with its description; number 0 when it raises none.
struct Raised { int number = 0; std::string text; };
inline Raised raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const engine::Error& e) {
        return {e.number(), e.description()};
    }
    return {};
}

// A test with a new database file of its own.
class NewDatabase : public ::testing::Test {
protected:
    void reopen() { db->Close(), db = engine::DBEngine::OpenDatabase(path); }
    TempDir dir;
    std::string path = dir.file("test.db");
    std::shared_ptr<engine::Database> db = engine::DBEngine::CreateDatabase(path);
};

struct FieldSpec {
    std::string name;
    int type;
    int size = 0;
    long attributes = 0;
    bool required = false;
    bool allowZeroLength = false;
};

// fields: "-Name" for a descending field.
struct IndexSpec { std::string name; std::vector<std::string> fields; bool primary = false; bool unique = false; };

inline std::shared_ptr<engine::TableDef> addTable(engine::Database& db, const std::string& name,
                                                  const std::vector<FieldSpec>& fields,
                                                  const std::vector<IndexSpec>& indexes = {}) {
    auto td = db.CreateTableDef(name);
    for (const auto& f : fields) {
        auto field = td->CreateField(f.name, f.type, f.size);
        field->SetAttributes(f.attributes);
        field->SetRequired(f.required);
        field->SetAllowZeroLength(f.allowZeroLength);
        td->Fields().Append(field);
    }
    for (const auto& ix : indexes) {
        auto index = td->CreateIndex(ix.name);
        index->SetPrimary(ix.primary);
        index->SetUnique(ix.unique);  // a primary index is unique by itself
        for (std::string f : ix.fields) {
            bool desc = !f.empty() && f[0] == '-';
            auto field = index->CreateField(desc ? f.substr(1) : f);
            if (desc) field->SetAttributes(engine::dbDescending);
            index->Fields().Append(field);
        }
        td->Indexes().Append(index);
    }
    db.TableDefs().Append(td);
    return td;
}

using Row = std::vector<std::pair<std::string, engine::Variant>>;
using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

inline void addRow(engine::Recordset& rs, const Row& row) {
    rs.AddNew();
    for (const auto& [name, value] : row) rs.Fields(name).SetValue(value);
    rs.Update();
}

inline void editField(engine::Recordset& rs, const std::string& field, const engine::Variant& value) {
    rs.Edit();
    rs.Fields(field).SetValue(value);
    rs.Update();
}

// The text of one field in every record, first to last; the position is restored.
inline std::vector<std::string> column(engine::Recordset& rs, const std::string& field) {
    std::vector<std::string> out;
    if (rs.RecordCount() == 0) return out;
    for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) out.push_back(rs.Fields(field).Value().toText());
    return out;
}

// Rows of a statement run by plain SQLite on the file, each value as text ("<null>" for Null).
inline std::vector<std::vector<std::string>> rawQuery(const std::string& path, const std::string& sqlText) {
    sqlite3* db = nullptr;
    std::vector<std::vector<std::string>> rows;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sqlText.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const unsigned char* t = sqlite3_column_text(st, c);
                row.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
            }
            rows.push_back(row);
        }
    } else {
        rows.push_back({std::string("prepare failed: ") + sqlite3_errmsg(db)});
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

inline void rawExec(const std::string& path, const std::string& sqlText) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* msg = nullptr;
    int rc = sqlite3_exec(db, sqlText.c_str(), nullptr, nullptr, &msg);
    std::string text = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("sqlite: " + text);
}

// Y-M-D[ h:m:s] by its parts.
inline double dayOf(const std::string& parts) {
    int v[6] = {};
    std::sscanf(parts.c_str(), "%d-%d-%d %d:%d:%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    return engine::dates::fromParts(v[0], v[1], v[2], v[3], v[4], v[5]);
}

// A value written kind:literal: null; bool:True; byte:, int: (an Integer), long:, big:, cur: (scaled by
// 10,000), single:, dbl:; date: a day number, or Y-M-D[ h:m:s] by its parts; text:"..." and bin:"..."
// (see unquoted); guid:... .
inline engine::Variant variantOf(const std::string& s) {
    const size_t colon = s.find(':');
    const std::string kind = s.substr(0, colon), lit = colon == std::string::npos ? "" : s.substr(colon + 1);
    if (kind == "bool") return engine::Variant::boolean(lit == "True");
    if (kind == "byte") return engine::Variant::byte(std::stoi(lit));
    if (kind == "int") return engine::Variant::integer(std::stoi(lit));
    if (kind == "long") return engine::Variant::longInt(std::stoi(lit));
    if (kind == "big") return engine::Variant::bigInt(std::stoll(lit));
    if (kind == "cur") return engine::Variant::currencyScaled(std::stoll(lit));
    if (kind == "single") return engine::Variant::single(std::strtof(lit.c_str(), nullptr));
    if (kind == "dbl") return engine::Variant::dbl(std::strtod(lit.c_str(), nullptr));
    if (kind == "date") return engine::Variant::date(lit.find('-', 1) != std::string::npos ? dayOf(lit) : std::stod(lit));
    if (kind == "text") return engine::Variant::text(unquoted(lit));
    if (kind == "bin") return engine::Variant::binary(unquoted(lit));
    if (kind == "guid") return engine::Variant::guid(lit);
    EXPECT_EQ(kind, "null");
    return engine::Variant::null();
}

// A type by its engine name (dbLong), or a number.
inline int typeCode(const std::string& name) {
    for (int code = 1; code <= 23; ++code)
        if (const auto* info = engine::fieldTypeInfo(code); info && name == info->label) return code;
    return std::stoi(name);
}

}  // namespace enginetest
