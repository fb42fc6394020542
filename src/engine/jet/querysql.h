#pragma once
// The SQL text of a Jet file's saved query, rebuilt from its MSysQueries parts.
#include <string>

#include "engine/jet/jetfile.h"

namespace engine::jet {

// The statement of a select, make-table, append, update, delete, crosstab,
// union, data-definition or pass-through query; throws engine::Error 3251
// naming what it cannot rebuild (parts it does not know).
std::string querySql(const SavedQuery& q);

// A pass-through query's ODBC connect string ("ODBC;" when the file names no
// source); empty for every other kind.
std::string queryConnect(const SavedQuery& q);

}  // namespace engine::jet
