#pragma once
// kelvane-gen's exit codes and the one place that turns a failure (of the login, of a listing,
// of reading a table) into the message on standard error and the exit code.
#include <string>

#include "schema/mysql_access.h"
#include "schema/schema_commands.h"

namespace kelvane::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitConnection = 2,  // connection or authentication failure
  kExitNotFound = 3,    // database or table not found, or access to the database denied
  kExitEncoding = 4,    // GBK cannot hold a character of a name
  kExitOther = 5,       // any other server error, or a file that cannot be written
  kExitInTheWay = 6,    // export: files the previous export did not write stand in the way
  kExitControlName = 7, // a table or column name holds a control character
  kExitWouldChange = 8, // export --check: an export would add, change or remove files
};

// A failure as kelvane-gen reports it: the exit code and the message (without the program's
// name); `hint`, when not empty, is a second line.
struct Failure {
  int code = kExitOk;
  std::string message;
  std::string hint;
};

// The server's or library's words as they may go to a terminal: ": TEXT (error N)", or empty.
std::string Says(const ServerFailure& failure);

// The last failure on the connection, classified.
ServerFailure LastFailure(ConnectionHandle connection);

// A login that did not succeed. `where` names the server ("host:port" or the socket), `database`
// the default database asked for, `hint` the TLS hint for the failure (may be empty).
Failure ConnectFailed(const ServerFailure& failure, const std::string& where, const std::string& user,
                      const std::string& database, SslMode mode, const std::string& hint);

// A listing ("show databases" when `databases`, else "show tables" of `database`) that failed:
// one that broke off is a connection failure.
Failure ListFailed(const ServerFailure& failure, bool databases, const std::string& database);

// Reading a table's columns (`read`) or, after them, its column comments (`read` is Ok) failed.
// `serverGone` tells a connection that broke off (every further table would fail too) from a
// table that failed on its own.
Failure ReadFailed(ColumnRead read, const ServerFailure& failure, const std::string& table,
                   const std::string& database, bool& serverGone);

}  // namespace kelvane::cli
