#pragma once
// Recursive-descent parser for our dialect, producing the tree of ast.h.
#include <memory>
#include <string_view>

#include "engine/sql/ast.h"

namespace engine::sql {

// A whole statement. Throws Error with the syntax error number of the clause
// where the fault is (3075 inside an expression, 3131 FROM, 3141 SELECT...).
std::unique_ptr<ast::Statement> parseStatement(std::string_view text);

// A bare expression such as FindFirst criteria; syntax errors are thrown with
// `syntaxError` as their number.
ast::ExprPtr parseExpression(std::string_view text, int syntaxError);

}  // namespace engine::sql
