#include "cli/failures.h"

#include "cli/messages.h"
#include "cli/safe_names.h"
#include "cli/tls_options.h"

namespace kelvane::cli {

std::string Says(const ServerFailure& failure) {
  return failure.number == 0 && failure.text.empty()
             ? std::string()
             : ": " + Printable(failure.text) +
                   (failure.number == 0 ? std::string() : " (error " + std::to_string(failure.number) + ")");
}

ServerFailure LastFailure(ConnectionHandle connection) {
  std::string text;
  const unsigned code = mysqlLastError(connection, text);
  return ClassifyStatementError(code, text);
}

Failure ConnectFailed(const ServerFailure& failure, const std::string& where, const std::string& user,
                      const std::string& database, SslMode mode, const std::string& hint) {
  switch (failure.kind) {
    case FailureKind::UnknownDatabase:
      return {kExitNotFound, "database " + Quoted(database) + " not found" + Says(failure), {}};
    case FailureKind::DatabaseDenied:
      return {kExitNotFound,
              "access to database " + Quoted(database) + " denied for user " + Quoted(user) + Says(failure),
              {}};
    case FailureKind::UntestedLibrary:
      return {kExitConnection,
              ModeName(mode) + " cannot be used: " + Printable(failure.text) +
                  ", with which kelvane-gen cannot make sure that no login goes out unencrypted",
              {}};
    default:
      break;
  }
  return {kExitConnection, "cannot connect to " + where + " as " + Printable(user) + Says(failure), hint};
}

Failure ListFailed(const ServerFailure& failure, bool databases, const std::string& database) {
  const std::string says = Says(failure);
  const std::string what = databases ? "the databases" : "the tables of " + Quoted(database);
  if (failure.kind == FailureKind::None || failure.kind == FailureKind::Connection)
    return {kExitConnection, "the connection to the server broke off while listing " + what + says, {}};
  return {kExitOther, "the server refused to list " + what + says, {}};
}

Failure ReadFailed(ColumnRead read, const ServerFailure& failure, const std::string& table,
                   const std::string& database, bool& serverGone) {
  const std::string says = Says(failure);
  serverGone = false;
  if (read == ColumnRead::Ok) {  // the columns were read; the comments were not
    // No error on the connection: the server answered, but not with a column listing (no result,
    // or fewer columns than the comment's). Only this table is concerned.
    if (failure.kind == FailureKind::None)
      return {kExitOther,
              "the server's answer to \"show full columns\" for table " + Quoted(table) +
                  " is not a column listing (no result, or no comment column); nothing written for it",
              {}};
    if (failure.kind == FailureKind::Connection) {
      serverGone = true;
      return {kExitConnection,
              "the connection to the server broke off while reading the column comments of table " +
                  Quoted(table) + says,
              {}};
    }
    return {kExitOther, "the server refused to show the column comments of table " + Quoted(table) + says, {}};
  }
  if (read == ColumnRead::NoConnection || failure.kind == FailureKind::Connection) {
    serverGone = true;
    return {kExitConnection,
            "the connection to the server broke off while reading table " + Quoted(table) + says, {}};
  }
  // Not in the table list (the check succeeded, so no error), or dropped since it was listed.
  if ((read == ColumnRead::TableNotFound && failure.kind == FailureKind::None) ||
      failure.kind == FailureKind::TableMissing)
    return {kExitNotFound, "table " + Quoted(table) + " not found in database " + Quoted(database), {}};
  return {kExitOther, "the server refused to read the columns of table " + Quoted(table) + says, {}};
}

}  // namespace kelvane::cli
