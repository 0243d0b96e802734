#include "schema/mysql_access.h"

#include <mysql.h>

#include <cstring>
#include <map>
#include <mutex>

namespace kelvane {

namespace {

struct StoredResult {
  MYSQL_RES* result = nullptr;
  ConnectionHandle owner = 0;
};

// Handle registries. The layer is used from one thread (the window's, or the command line's
// only one), so they take no lock; a connection handle could not be shared between threads
// anyway.
std::map<ConnectionHandle, MYSQL*> gConnections;
std::map<RecordSet, StoredResult> gResults;
int gNextConnection = 1;
int gNextResult = 1;

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

MYSQL* FindConnection(ConnectionHandle handle) {
  if (handle <= 0) return nullptr;
  auto it = gConnections.find(handle);
  return it == gConnections.end() ? nullptr : it->second;
}

MYSQL_RES* FindResult(RecordSet handle) {
  if (handle <= 0) return nullptr;
  auto it = gResults.find(handle);
  return it == gResults.end() ? nullptr : it->second.result;
}

RecordSet Register(MYSQL_RES* result, ConnectionHandle owner) {
  if (result == nullptr) return 0;
  const RecordSet handle = gNextResult++;
  gResults[handle] = StoredResult{result, owner};
  return handle;
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

bool SendFixed(ConnectionHandle connection, const char* statement) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return false;
  return mysql_query(conn, statement) == 0;
}

bool ValidColumn(MYSQL_RES* res, int column) {
  return res != nullptr && column >= 0 && static_cast<unsigned>(column) < mysql_num_fields(res);
}

}  // namespace

ColumnTypeCode ColumnTypeCodeFor(int libraryType) {
  switch (libraryType) {
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
      return 0;
    case MYSQL_TYPE_TINY:
      return 101;
    case MYSQL_TYPE_SHORT:
      return 2;
    case MYSQL_TYPE_LONG:
      return 3;
    case MYSQL_TYPE_FLOAT:
      return 4;
    case MYSQL_TYPE_DOUBLE:
      return 5;
    case MYSQL_TYPE_TIMESTAMP:
      return 7;
    case MYSQL_TYPE_LONGLONG:
      return 8;
    case MYSQL_TYPE_INT24:
      return 9;
    case MYSQL_TYPE_DATE:
      return 10;
    case MYSQL_TYPE_TIME:
      return 11;
    case MYSQL_TYPE_DATETIME:
      return 12;
    case MYSQL_TYPE_YEAR:
      return 13;
    case MYSQL_TYPE_ENUM:
      return 25401;
    case MYSQL_TYPE_SET:
      return 25402;
    case MYSQL_TYPE_TINY_BLOB:
      return 25201;
    case MYSQL_TYPE_MEDIUM_BLOB:
      return 25205;
    case MYSQL_TYPE_LONG_BLOB:
      return 25207;
    case MYSQL_TYPE_BLOB:
      return 25204;
    case MYSQL_TYPE_VAR_STRING:
      return 253;
    case MYSQL_TYPE_STRING:
      return 25403;
    default:
      return 6;
  }
}

ConnectionHandle mysqlConnect(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& database,
                              unsigned port) {
  // The window's password box: an empty box is the empty password, never MYSQL_PWD.
  ConnectOptions options;
  options.passwordGiven = true;
  return mysqlConnect(host, user, password, database, port, options);
}

ConnectionHandle mysqlConnect(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& database,
                              unsigned port, const ConnectOptions& options) {
  InitLibraryOnce();
  MYSQL* conn = mysql_init(nullptr);
  if (conn == nullptr) return 0;
  // Names travel as UTF-8 on a utf8mb4 connection; GBK exists only when writing files.
  mysql_options(conn, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  mysql_options(conn, MYSQL_OPT_CONNECT_TIMEOUT, &kConnectTimeoutSeconds);
  mysql_options(conn, MYSQL_OPT_READ_TIMEOUT, &kReadTimeoutSeconds);
  mysql_options(conn, MYSQL_OPT_WRITE_TIMEOUT, &kWriteTimeoutSeconds);
  if (!options.optionGroup.empty())
    mysql_options(conn, MYSQL_READ_DEFAULT_GROUP, options.optionGroup.c_str());
  if (!options.optionFile.empty())
    mysql_options(conn, MYSQL_READ_DEFAULT_FILE, options.optionFile.c_str());
  const char* secret = options.passwordGiven ? password.c_str() : OrNull(password);
  const bool connected = mysql_real_connect(conn, OrNull(host), OrNull(user), secret,
                                            OrNull(database), port, nullptr, 0) != nullptr;
  // "localhost" (or an option file's socket setting) means the local socket, not TCP.
  if (options.usedSocket) {
    const char* info = mysql_get_host_info(conn);
    *options.usedSocket = info != nullptr ? std::strstr(info, "socket") != nullptr
                                          : OrNull(host) == nullptr || host == "localhost";
  }
  if (!connected) {
    if (options.errorText) *options.errorText = mysql_error(conn);
    if (options.errorCode) *options.errorCode = mysql_errno(conn);
    mysql_close(conn);
    return 0;
  }
  const ConnectionHandle handle = gNextConnection++;
  gConnections[handle] = conn;
  return handle;
}

void mysqlClose(ConnectionHandle connection) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return;
  for (auto it = gResults.begin(); it != gResults.end();) {
    if (it->second.owner == connection) {
      mysql_free_result(it->second.result);
      it = gResults.erase(it);
    } else {
      ++it;
    }
  }
  mysql_close(conn);
  gConnections.erase(connection);
}

bool mysqlShowDatabases(ConnectionHandle connection) {
  return SendFixed(connection, "show databases");
}

bool mysqlShowTables(ConnectionHandle connection) { return SendFixed(connection, "show tables"); }

RecordSet mysqlStoreResult(ConnectionHandle connection) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return 0;
  return Register(mysql_store_result(conn), connection);
}

std::uint64_t mysqlRowCount(RecordSet records) {
  MYSQL_RES* res = FindResult(records);
  return res == nullptr ? 0 : mysql_num_rows(res);
}

bool mysqlReadText(RecordSet records, int column, std::string& text) {
  MYSQL_RES* res = FindResult(records);
  if (!ValidColumn(res, column)) return false;
  MYSQL_ROW_OFFSET saved = mysql_row_tell(res);
  MYSQL_ROW row = mysql_fetch_row(res);
  if (row == nullptr) {
    const std::uint64_t rows = mysql_num_rows(res);
    if (rows == 0) {
      mysql_row_seek(res, saved);
      return false;
    }
    mysql_data_seek(res, rows - 1);
    row = mysql_fetch_row(res);
    if (row == nullptr) {
      mysql_row_seek(res, saved);
      return false;
    }
  }
  unsigned long* lengths = mysql_fetch_lengths(res);
  const char* value = row[column];
  mysql_row_seek(res, saved);
  if (value == nullptr) {
    text.clear();
  } else {
    // Copied as text: up to the first zero byte.
    const std::size_t length = lengths ? lengths[column] : std::strlen(value);
    text.assign(value, ::strnlen(value, length));
  }
  return true;
}

bool mysqlNextRow(RecordSet records) {
  MYSQL_RES* res = FindResult(records);
  return res != nullptr && mysql_fetch_row(res) != nullptr;
}

void mysqlFreeResult(RecordSet records) {
  auto it = gResults.find(records);
  if (records <= 0 || it == gResults.end()) return;
  mysql_free_result(it->second.result);
  gResults.erase(it);
}

bool mysqlTableExists(ConnectionHandle connection, const std::string& tableName) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return false;
  static constexpr char kStatement[] = "show tables";
  if (mysql_real_query(conn, kStatement, sizeof kStatement - 1) != 0) return false;
  MYSQL_RES* res = mysql_store_result(conn);
  if (res == nullptr) return false;
  bool found = false;
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* lengths = mysql_fetch_lengths(res);
    if (row[0] != nullptr && std::string_view(row[0], lengths[0]) == tableName) {
      found = true;
      break;
    }
  }
  mysql_free_result(res);
  return found;
}

RecordSet mysqlSelect(ConnectionHandle connection, const std::string& tableName,
                      const std::string& columns, const std::string& condition,
                      const std::string& ordering) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return 0;
  std::string statement = "select " + columns + " from " + tableName;
  if (!condition.empty()) statement += " where " + condition;
  if (!ordering.empty()) statement += " order by " + ordering;
  if (mysql_real_query(conn, statement.data(), statement.size()) != 0) return 0;
  return Register(mysql_store_result(conn), connection);
}

unsigned mysqlFieldCount(RecordSet records) {
  MYSQL_RES* res = FindResult(records);
  return res == nullptr ? 0 : mysql_num_fields(res);
}

ColumnTypeCode mysqlFieldTypeCode(RecordSet records, int column) {
  MYSQL_RES* res = FindResult(records);
  if (res == nullptr) return -1;
  if (!ValidColumn(res, column)) return 6;
  mysql_field_seek(res, static_cast<MYSQL_FIELD_OFFSET>(column));
  const MYSQL_FIELD* field = mysql_fetch_field(res);
  return field == nullptr ? 6 : ColumnTypeCodeFor(field->type);
}

bool mysqlFieldName(RecordSet records, int column, std::string& name) {
  MYSQL_RES* res = FindResult(records);
  if (!ValidColumn(res, column)) return false;
  const MYSQL_FIELD* fields = mysql_fetch_fields(res);
  name.assign(fields[column].name, fields[column].name_length);
  return true;
}

bool mysqlFieldIsOneWideFlag(RecordSet records, int column) {
  MYSQL_RES* res = FindResult(records);
  if (!ValidColumn(res, column)) return false;
  const MYSQL_FIELD& field = mysql_fetch_fields(res)[column];
  return field.length == 1 && (field.type == MYSQL_TYPE_TINY || field.type == MYSQL_TYPE_BIT);
}

unsigned mysqlLastError(ConnectionHandle connection, std::string& text) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) {
    text.clear();
    return 0;
  }
  text = mysql_error(conn);
  return mysql_errno(conn);
}

bool mysqlIsConnectionError(unsigned errorCode) {
  // CR_* numbers 2000-2999 are the client's own: lost, gone, cannot connect, out of sync ...
  return errorCode >= 2000 && errorCode < 3000;
}

std::size_t mysqlOpenConnectionCount() { return gConnections.size(); }

}  // namespace kelvane
