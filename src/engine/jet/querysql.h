#pragma once
// The SQL text of a Jet file's saved query, rebuilt from its MSysQueries parts.
#include <string>

#include "engine/jet/jetfile.h"

namespace engine::jet {

// The statement of a select, make-table, append, update, delete, crosstab,
// union or data-definition query; throws engine::Error 3251 naming what it
// cannot rebuild (pass-through queries, parts it does not know).
std::string querySql(const SavedQuery& q);

}  // namespace engine::jet
