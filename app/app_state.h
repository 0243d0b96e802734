#pragma once
// The program-wide state: the column list of the chosen table and the current connection.
#include "schema/field_table.h"
#include "schema/schema_commands.h"

namespace kelvane {

struct AppState {
  FieldTable fields;      // empty at start, rebuilt by every table choice
  ColumnFactsList facts;  // beside fields: key flags, and comments when they were read
  SchemaSession session;  // no connection at start
};

}  // namespace kelvane
