#include "cli/server_reads.h"

#include <set>

#include "cli/messages.h"
#include "cli/safe_names.h"
#include "os/password_prompt.h"

namespace kelvane::cli {

namespace {

// "host:port", with brackets around an IPv6 address.
std::string HostAndPort(const Settings& settings) {
  const bool v6 = settings.host.find(':') != std::string::npos && !settings.host.starts_with("[");
  const std::string host = Printable(settings.host);
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(settings.port);
}

}  // namespace

int Connect(const Settings& settings, const std::string& database, SchemaSession& session) {
  std::string password = settings.password;
  bool given = settings.passwordGiven;
  if (settings.askPassword) {
    if (!PromptPassword("Enter password: ", password)) {
      Error("no password was typed");
      return kExitUsage;
    }
    given = true;  // typed empty means the empty password
  }
  ServerFailure failure;
  bool socket = false;
  ConnectOptions options = settings.connect;
  options.optionGroup = settings.optionFile.empty() ? "" : kOptionGroup;
  options.failure = &failure;
  options.optionFile = settings.optionFile;
  options.passwordGiven = given;
  options.usedSocket = &socket;
  session.Replace(mysqlConnect(settings.host, settings.user, password, database, settings.port, options));
  const std::string where =
      socket ? Printable(settings.host) + " through the local socket" : HostAndPort(settings);
  if (session.handle() > 0) {
    if (settings.tls.verbose) Error("connected to " + where + " " + DescribeTls(mysqlTlsState(session.handle())));
    return kExitOk;
  }
  const Failure failed = ConnectFailed(failure, where, settings.user, database, options.sslMode,
                                       TlsFailureHint(options, settings.host, failure));
  Error(failed.message);
  if (!failed.hint.empty()) Error(failed.hint);
  return failed.code;
}

int List(ConnectionHandle connection, const Settings& settings, bool databases,
         std::vector<std::string>& names) {
  if (ListNames(connection, databases, names)) return kExitOk;
  const Failure failed = ListFailed(LastFailure(connection), databases, settings.database);
  Error(failed.message);
  return failed.code;
}

int ChooseTables(const Settings& settings, SchemaSession& session, std::vector<std::string>& chosen) {
  if (int code = Connect(settings, settings.database, session)) return code;
  // The one table list of the run: the columns of each table are read without another look.
  std::vector<std::string> serverTables;
  if (int code = List(session.handle(), settings, false, serverTables)) return code;
  chosen = serverTables;
  if (settings.tables.empty()) return kExitOk;
  // Every named table must exist before anything is written.
  const std::set<std::string> known(serverTables.begin(), serverTables.end());
  std::vector<std::string> missing;
  for (const std::string& table : settings.tables)
    if (!known.contains(table)) missing.push_back(table);
  for (const std::string& table : missing)
    Error("table " + Quoted(table) + " not found in database " + Quoted(settings.database));
  if (!missing.empty()) return kExitNotFound;
  chosen = settings.tables;
  return kExitOk;
}

int ReadTable(ConnectionHandle connection, const Settings& settings, const std::string& table,
              bool listed, FieldTable& fields, ColumnFactsList& facts, std::string& message,
              bool& serverGone) {
  serverGone = false;
  const ColumnRead read =
      ReadColumns(connection, table, fields, facts, ColumnReadOptions{settings.boolTinyint1, listed});
  // The comments take a statement of their own, sent only when they were asked for.
  if (read == ColumnRead::Ok && (!settings.comments || ReadColumnComments(connection, table, fields, facts)))
    return kExitOk;
  const Failure failed = ReadFailed(read, LastFailure(connection), table, settings.database, serverGone);
  message = failed.message;
  return failed.code;
}

int ReadOneTable(const Settings& settings, FieldTable& fields, ColumnFactsList& facts) {
  SchemaSession connection;
  if (int code = Connect(settings, settings.database, connection)) return code;
  std::string message;
  bool serverGone = false;
  const int code =
      ReadTable(connection.handle(), settings, settings.table, false, fields, facts, message, serverGone);
  if (code != kExitOk) Error(message);
  return code;
}

}  // namespace kelvane::cli
