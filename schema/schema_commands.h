#pragma once
// The connect / list / choose logic behind the window's first three steps, free of any GUI
// toolkit: each command takes what the user typed or chose and returns what the window shows.
#include <string>
#include <vector>

#include "schema/field_table.h"
#include "schema/mysql_access.h"

namespace kelvane {

// The connection of the most recent attempt (0 when it failed or before the first one).
// Replacing it closes the connection it held, so repeated choices never pile up open
// connections on the server.
class SchemaSession {
 public:
  SchemaSession() = default;
  SchemaSession(const SchemaSession&) = delete;
  SchemaSession& operator=(const SchemaSession&) = delete;
  ~SchemaSession() { Replace(0); }

  ConnectionHandle handle() const { return handle_; }
  void Replace(ConnectionHandle handle) {
    if (handle_ > 0 && handle_ != handle) mysqlClose(handle_);
    handle_ = handle;
  }

 private:
  ConnectionHandle handle_ = 0;
};

// Connection parameters as typed on the connect page; user name and password are trimmed by
// the commands.
struct ConnectInput {
  std::string host;
  std::string user;
  std::string password;
};

inline constexpr unsigned kDefaultPort = 3306;

// Status texts of the connect steps.
inline constexpr const char* kStatusConnected = "已连接Mysql数据库";
inline constexpr const char* kStatusConnectedTo = "已连接Mysql数据库:";
inline constexpr const char* kStatusFailed = "连接失败";
// Added to the key warning label when 选择框_注释 is checked and the comments cannot be read;
// the texts are then generated without them.
inline constexpr const char* kCommentsUnread = "未能读取字段注释，生成的文本不带注释。";

struct ConnectServerResult {
  bool connected = false;              // the login succeeded
  std::vector<std::string> databases;  // server order, empty names skipped
  bool showTablesPage = false;         // the listing succeeded: switch to the second page
};

struct ChooseDatabaseResult {
  bool connected = false;
  std::vector<std::string> tables;  // server order, empty names skipped
};

// Options of the column read that front ends other than the window may set.
struct ColumnReadOptions {
  bool boolForTinyint1 = false;  // TINYINT(1) and BIT(1) as 逻辑型 / Jl / bool
  bool listed = false;  // the caller took the name from "show tables" just now: no second
                        // look at the table list (a table dropped since fails the select)
};

ConnectServerResult ConnectServer(SchemaSession& session, const ConnectInput& input,
                                  unsigned port = kDefaultPort);
ChooseDatabaseResult ChooseDatabase(SchemaSession& session, const ConnectInput& input,
                                    const std::string& database, unsigned port = kDefaultPort);
// Rebuilds fields for the table and returns the column list lines ("name|type"). Without a
// connection, or when the current database has no table of exactly that name, fields ends up
// empty and no line is returned.
std::vector<std::string> ChooseTable(const SchemaSession& session, const std::string& tableName,
                                     FieldTable& fields, const ColumnReadOptions& options = {});
// The same, also keeping the key flags of every column in facts (one entry per record).
std::vector<std::string> ChooseTable(const SchemaSession& session, const std::string& tableName,
                                     FieldTable& fields, ColumnFactsList& facts,
                                     const ColumnReadOptions& options = {});

// Building blocks shared with the command line.
// Runs "show databases" / "show tables" and collects column 0, every name whole (an empty one
// too); false if the statement or the fetching of its rows failed (names then holds nothing).
bool ListNames(ConnectionHandle connection, bool databases, std::vector<std::string>& names);
enum class ColumnRead { NoConnection, TableNotFound, SelectFailed, Ok };
// Reads the column metadata of the table into fields (columns, then the state record).
ColumnRead ReadColumns(ConnectionHandle connection, const std::string& tableName,
                       FieldTable& fields, const ColumnReadOptions& options = {});
// The same, with the key flags of the metadata in facts: one entry per record of fields.
ColumnRead ReadColumns(ConnectionHandle connection, const std::string& tableName,
                       FieldTable& fields, ColumnFactsList& facts,
                       const ColumnReadOptions& options = {});
// The one statement beyond the column read, sent only when comments are wanted: "show full
// columns from" the quoted table. Sets each column's comment in facts (sized to fields),
// matched by name; false when the server refused the statement (the comments are then empty).
bool ReadColumnComments(ConnectionHandle connection, const std::string& tableName,
                        const FieldTable& fields, ColumnFactsList& facts);
// `name` with backticks around it and every backtick inside doubled.
std::string QuoteIdentifier(const std::string& name);

}  // namespace kelvane
