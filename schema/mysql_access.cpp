#include "schema/mysql_access.h"

#include <errmsg.h>
#include <mysql.h>

#include <algorithm>
#include <cstddef>

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

// Connector/C 3.3 refuses an unencrypted login by itself only when it also verifies the
// certificate (or pins a fingerprint); with TLS merely asked for, it logs in unencrypted when
// the server does not offer TLS. To make Required and VerifyCa fail before any credential is
// sent, the server's greeting is read as it arrives (the library's raw-read hook): when it
// does not offer TLS, a fingerprint is pinned, which makes the library stop with "SSL is
// required, but the server does not support it" before it answers the greeting.
extern "C" int ma_pvio_register_callback(my_bool registerCallback,
                                         void (*callback)(int mode, MYSQL* mysql,
                                                          const unsigned char* buffer,
                                                          size_t length));

constexpr std::size_t kGreetingBytes = 512;     // capabilities sit well inside this
constexpr unsigned char kProtocolVersion = 10;  // the handshake packet of every supported server
constexpr unsigned kClientSsl = 2048;           // CLIENT_SSL in the lower capability flags
// Never a real fingerprint (SHA-1, 40 hex digits): only pinned when TLS cannot happen at all.
constexpr const char* kUnmatchableFingerprint = "0000000000000000000000000000000000000000";

// The greeting of the connection being opened; gWatchLock keeps it to one connect at a time.
struct GreetingWatch {
  MYSQL* conn = nullptr;
  bool requireTls = false;
  bool decided = false;
  bool offersTls = false;
  std::string bytes;
};
GreetingWatch gWatch;
std::mutex gWatchLock;

void OnRawRead(int mode, MYSQL* mysql, const unsigned char* buffer, size_t length) {
  if (mode != 0 || mysql == nullptr || mysql != gWatch.conn || gWatch.decided ||
      buffer == nullptr || static_cast<std::ptrdiff_t>(length) <= 0)
    return;
  std::string& bytes = gWatch.bytes;
  bytes.append(reinterpret_cast<const char*>(buffer),
               std::min(length, kGreetingBytes - std::min(kGreetingBytes, bytes.size())));
  // 3-byte length, sequence number, protocol version, server version up to its zero byte,
  // 4-byte thread id, 8 bytes of scramble, a filler byte, then the lower capability flags.
  if (bytes.size() < 5) return;
  if (static_cast<unsigned char>(bytes[4]) != kProtocolVersion) {  // e.g. an error packet
    gWatch.decided = true;
    return;
  }
  const std::size_t end = bytes.find('\0', 5);
  if (end == std::string::npos) {
    gWatch.decided = bytes.size() >= kGreetingBytes;
    return;
  }
  const std::size_t flags = end + 1 + 4 + 8 + 1;
  if (bytes.size() < flags + 2) return;
  const unsigned capabilities = static_cast<unsigned char>(bytes[flags]) |
                                static_cast<unsigned>(static_cast<unsigned char>(bytes[flags + 1])) << 8;
  gWatch.decided = true;
  gWatch.offersTls = (capabilities & kClientSsl) != 0;
  if (!gWatch.offersTls && gWatch.requireTls)
    mysql_optionsv(mysql, MARIADB_OPT_TLS_PEER_FP, kUnmatchableFingerprint);
}

void SetTlsOptions(MYSQL* conn, const ConnectOptions& options) {
  const my_bool yes = 1, no = 0;
  if (options.sslMode == SslMode::Disabled) {
    mysql_optionsv(conn, MYSQL_OPT_SSL_ENFORCE, &no);
    return;
  }
  // Asks for TLS whenever the server offers it.
  mysql_optionsv(conn, MYSQL_OPT_SSL_ENFORCE, &yes);
  if (!options.sslCert.empty()) mysql_optionsv(conn, MYSQL_OPT_SSL_CERT, options.sslCert.c_str());
  if (!options.sslKey.empty()) mysql_optionsv(conn, MYSQL_OPT_SSL_KEY, options.sslKey.c_str());
  // With a CA file the library checks the chain; the host name only with VERIFY_SERVER_CERT.
  const bool verifies =
      options.sslMode == SslMode::VerifyCa || options.sslMode == SslMode::VerifyIdentity;
  if (verifies && !options.sslCa.empty())
    mysql_optionsv(conn, MYSQL_OPT_SSL_CA, options.sslCa.c_str());
  if (options.sslMode == SslMode::VerifyIdentity)
    mysql_optionsv(conn, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &yes);
}

bool RequiresTls(SslMode mode) { return mode != SslMode::Disabled && mode != SslMode::Preferred; }

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
  if (options.tcp) {
    const unsigned tcp = MYSQL_PROTOCOL_TCP;
    mysql_optionsv(conn, MYSQL_OPT_PROTOCOL, &tcp);
  }
  SetTlsOptions(conn, options);
  static std::once_flag hooked;
  std::call_once(hooked, [] { ma_pvio_register_callback(1, OnRawRead); });
  std::lock_guard<std::mutex> watching(gWatchLock);
  gWatch = GreetingWatch{};
  gWatch.conn = conn;
  gWatch.requireTls = RequiresTls(options.sslMode);
  const char* secret = options.passwordGiven ? password.c_str() : OrNull(password);
  const bool connected = mysql_real_connect(conn, OrNull(host), OrNull(user), secret,
                                            OrNull(database), port, nullptr, 0) != nullptr;
  gWatch.conn = nullptr;
  if (options.serverOffersTls) *options.serverOffersTls = gWatch.offersTls;
  // "localhost" (or an option file's socket setting) means the local socket, not TCP.
  if (options.usedSocket) {
    const char* info = mysql_get_host_info(conn);
    *options.usedSocket = info != nullptr ? std::strstr(info, "socket") != nullptr
                                          : OrNull(host) == nullptr || host == "localhost";
  }
  // The greeting watch already stops an unencrypted login; this only guards against a
  // library that would encrypt less than it was asked to.
  if (connected && RequiresTls(options.sslMode) && mysql_get_ssl_cipher(conn) == nullptr) {
    if (options.errorText) *options.errorText = "the connection is not encrypted";
    if (options.errorCode) *options.errorCode = CR_SSL_CONNECTION_ERROR;
    mysql_close(conn);
    return 0;
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

FieldKeyFlags mysqlFieldKeyFlags(RecordSet records, int column) {
  MYSQL_RES* res = FindResult(records);
  if (!ValidColumn(res, column)) return {};
  const unsigned flags = mysql_fetch_fields(res)[column].flags;
  return FieldKeyFlags{(flags & PRI_KEY_FLAG) != 0, (flags & UNIQUE_KEY_FLAG) != 0,
                       (flags & NOT_NULL_FLAG) != 0, (flags & AUTO_INCREMENT_FLAG) != 0};
}

RecordSet mysqlShowFullColumns(ConnectionHandle connection, const std::string& tableName) {
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return 0;
  const std::string statement = "show full columns from " + tableName;
  if (mysql_real_query(conn, statement.data(), statement.size()) != 0) return 0;
  return Register(mysql_store_result(conn), connection);
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

TlsState mysqlTlsState(ConnectionHandle connection) {
  TlsState state;
  MYSQL* conn = FindConnection(connection);
  if (conn == nullptr) return state;
  if (const char* cipher = mysql_get_ssl_cipher(conn)) {
    state.encrypted = true;
    state.cipher = cipher;
    const char* version = nullptr;
    if (mariadb_get_infov(conn, MARIADB_CONNECTION_TLS_VERSION, &version) == 0 && version)
      state.version = version;
  }
  return state;
}

}  // namespace kelvane
