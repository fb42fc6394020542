#pragma once
// Turns the syntax tree into SQLite SQL, resolving names against a catalog.
#include <string>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/catalog.h"
#include "engine/sql/sql.h"

namespace engine::sql {

EmittedSelect emitQueryStatement(const ast::Statement& st, const Catalog& catalog);
EmittedAction emitActionStatement(const ast::Statement& st, const Catalog& catalog);
std::string emitCriteria(const ast::Expr& criteria, const SourceInfo& source, const Catalog* catalog,
                         std::string_view text);

}  // namespace engine::sql
