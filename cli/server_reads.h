#pragma once
// What the commands ask of the server: the login, the listings and a table's columns. Each
// prints why it failed (failures.h) or hands the failure back, and returns the exit code.
#include <string>
#include <vector>

#include "cli/failures.h"
#include "cli/settings.h"
#include "schema/field_table.h"
#include "schema/schema_commands.h"

namespace kelvane::cli {

// Connects with `database` as default database ("" for none) and hands the connection to
// `session`. On failure prints why and returns the exit code; kExitOk on success.
int Connect(const Settings& settings, const std::string& database, SchemaSession& session);

// "show databases" / "show tables" into `names`; on failure prints why and returns the exit code.
int List(ConnectionHandle connection, const Settings& settings, bool databases,
         std::vector<std::string>& names);

// Connects to settings.database (into `session`) and lists the tables an export works on: every
// table in server order, or the tables named on the command line, each of which must exist
// (else prints which do not and returns kExitNotFound).
int ChooseTables(const Settings& settings, SchemaSession& session, std::vector<std::string>& chosen);

// Reads the table's columns (and, with --comments, their comments). On failure returns the exit
// code with `message` set; `serverGone` tells a connection that broke off from a table that
// failed on its own. `listed`: the name comes from the table list just read.
int ReadTable(ConnectionHandle connection, const Settings& settings, const std::string& table,
              bool listed, FieldTable& fields, ColumnFactsList& facts, std::string& message,
              bool& serverGone);

// For the single-table commands: connects to settings.database and reads settings.table,
// printing why when it fails.
int ReadOneTable(const Settings& settings, FieldTable& fields, ColumnFactsList& facts);

}  // namespace kelvane::cli
