#include "schema/mysql_access.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <algorithm>
#include <cstddef>

#include <cstring>
#include <map>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "schema/greeting.h"

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
// the server does not offer TLS. To make Required and VerifyCa fail closed, a fingerprint that
// no certificate has is pinned before the connect: the library then stops before it answers
// the greeting ("SSL is required, but the server does not support it") or fails the TLS
// handshake. Only when the greeting, read as it arrives through the library's raw-read hook,
// is a complete, well-formed protocol-10 greeting offering TLS is the pin taken away again, so
// that the handshake proceeds. A library that stopped calling the hook fails closed.
//
// No installed header of the library declares the hook (3.3.9, 3.3.20): its prototype is
// written here, and the library's series is checked at run time instead
// (mysqlRequiredTlsSupported); should a header declare it with another prototype, this
// declaration stops the build.
extern "C" int ma_pvio_register_callback(my_bool registerCallback,
                                         void (*callback)(int mode, MYSQL* mysql,
                                                          const unsigned char* buffer,
                                                          size_t length));

// Never a real fingerprint (SHA-1, 40 hex digits).
constexpr const char* kUnmatchableFingerprint = "0000000000000000000000000000000000000000";

// The greeting of the connection being opened; gWatchLock keeps it to one connect at a time.
struct GreetingWatch {
  MYSQL* conn = nullptr;
  GreetingVerdict verdict = GreetingVerdict::NeedMore;
  std::string bytes;
};
GreetingWatch gWatch;
std::mutex gWatchLock;

void OnRawRead(int mode, MYSQL* mysql, const unsigned char* buffer, size_t length) {
  // mode 0 is a read; writes (1) are the client's own bytes.
  if (mode != 0 || mysql == nullptr || mysql != gWatch.conn ||
      gWatch.verdict != GreetingVerdict::NeedMore || buffer == nullptr || length == 0)
    return;
  const std::size_t room = 4 + kLongestGreeting - gWatch.bytes.size();
  gWatch.bytes.append(reinterpret_cast<const char*>(buffer), std::min(length, room));
  gWatch.verdict = ReadGreeting(gWatch.bytes);
  if (gWatch.verdict == GreetingVerdict::OffersTls)
    mysql_optionsv(mysql, MARIADB_OPT_TLS_PEER_FP, nullptr);
}

// The client library series the greeting watch was tested with (3.3.x).
constexpr unsigned long kTestedSeriesFirst = 30300, kTestedSeriesEnd = 30400;

bool RequiresTls(SslMode mode) { return mode != SslMode::Disabled && mode != SslMode::Preferred; }

// Every authentication plugin of the library but the ones that send the password as it is
// (mysql_clear_password, and dialog, which sends what it is asked for): allowed where TLS may be
// missing.
constexpr const char* kPluginsWithoutClearPassword =
    "mysql_native_password,mysql_old_password,client_ed25519,caching_sha2_password,"
    "sha256_password,auth_gssapi_client,parsec";

void SetTlsOptions(MYSQL* conn, const ConnectOptions& options) {
  const my_bool yes = 1, no = 0;
  if (!RequiresTls(options.sslMode))
    mysql_optionsv(conn, MARIADB_OPT_RESTRICTED_AUTH, kPluginsWithoutClearPassword);
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
  if (RequiresTls(options.sslMode))
    mysql_optionsv(conn, MARIADB_OPT_TLS_PEER_FP, kUnmatchableFingerprint);
}

// Bounds a whole connect: the library's connect timeout covers reaching the server and each
// read, but a server that sends its greeting one byte at a time would keep it waiting for good.
// When the time is up the connection is cancelled, and the library's next read fails.
class ConnectDeadline {
 public:
  ConnectDeadline(MYSQL* conn, bool& timedOut)
      : watcher_([this, conn, &timedOut] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (done_.wait_for(lock, std::chrono::seconds(kConnectTimeoutSeconds), [this] { return finished_; }))
            return;
          // Makes every further read and write of the connection fail (the socket is shut down).
          timedOut = true;
          mariadb_cancel(conn);
        }) {}
  ~ConnectDeadline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    watcher_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread watcher_;
};

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
  ServerFailure ignored;
  ServerFailure& failure = options.failure ? *options.failure : ignored;
  failure = ServerFailure{};
  if (options.serverOffersTls) *options.serverOffersTls = false;
  const bool requireTls = RequiresTls(options.sslMode);
  std::string libraryVersion;
  if (requireTls && !mysqlRequiredTlsSupported(libraryVersion)) {
    failure = {FailureKind::UntestedLibrary, 0,
               "client library " + libraryVersion + " is not of the tested series 3.3"};
    return 0;
  }
  MYSQL* conn = mysql_init(nullptr);
  if (conn == nullptr) {
    failure = {FailureKind::Connection, CR_OUT_OF_MEMORY, "out of memory"};
    return 0;
  }
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
  std::unique_lock<std::mutex> watching(gWatchLock, std::defer_lock);
  if (requireTls) {
    watching.lock();
    gWatch = GreetingWatch{};
    gWatch.conn = conn;
    // Registered at the first connect that requires TLS (so never in the window), and never
    // taken away: the library's unregistering drops the list head wrongly (3.3), leaving a
    // freed entry in place. Outside such a connect the hook does nothing (gWatch.conn is null).
    static std::once_flag hooked;
    std::call_once(hooked, [] { ma_pvio_register_callback(1, OnRawRead); });
  }
  const char* secret = options.passwordGiven ? password.c_str() : OrNull(password);
  bool timedOut = false;
  bool connected = false;
  const auto started = std::chrono::steady_clock::now();
  {
    ConnectDeadline deadline(conn, timedOut);
    connected = mysql_real_connect(conn, OrNull(host), OrNull(user), secret, OrNull(database),
                                   port, nullptr, 0) != nullptr;
  }
  const bool deadlinePassed =
      std::chrono::steady_clock::now() - started >= std::chrono::seconds(kConnectTimeoutSeconds);
  GreetingVerdict verdict = GreetingVerdict::NeedMore;
  if (requireTls) {
    verdict = gWatch.verdict;
    gWatch = GreetingWatch{};
    watching.unlock();
  }
  // What the greeting offered, as the library read it (kept after a failed login).
  unsigned long capabilities = 0;
  mariadb_get_infov(conn, MARIADB_CONNECTION_SERVER_CAPABILITIES, &capabilities);
  const bool offersTls = (capabilities & CLIENT_SSL) != 0 &&
                         (!requireTls || verdict == GreetingVerdict::OffersTls);
  if (options.serverOffersTls) *options.serverOffersTls = offersTls;
  // "localhost" (or an option file's socket setting) means the local socket, not TCP.
  if (options.usedSocket) {
    const char* info = mysql_get_host_info(conn);
    *options.usedSocket = info != nullptr ? std::strstr(info, "socket") != nullptr
                                          : OrNull(host) == nullptr || host == "localhost";
  }
  // The pinned fingerprint already stops an unencrypted login; this only guards against a
  // library that would encrypt less than it was asked to.
  if (connected && requireTls && mysql_get_ssl_cipher(conn) == nullptr) {
    failure = {FailureKind::NotEncrypted, CR_SSL_CONNECTION_ERROR,
               "the login completed without encryption"};
    mysql_close(conn);
    return 0;
  }
  if (!connected) {
    failure = ClassifyStatementError(mysql_errno(conn), mysql_error(conn));
    if (timedOut || deadlinePassed) {
      failure.kind = FailureKind::Timeout;
      failure.text = "no complete login within " + std::to_string(kConnectTimeoutSeconds) + " s";
    } else if (failure.number == CR_SSL_CONNECTION_ERROR) {
      failure.kind = requireTls && verdict != GreetingVerdict::OffersTls ? FailureKind::TlsNotOffered
                                                                          : FailureKind::TlsFailed;
    } else if (failure.number == ER_INVALID_CHARACTER_STRING && !database.empty()) {
      failure.kind = FailureKind::UnknownDatabase;  // a name no database can have
    } else if (failure.number == CR_PLUGIN_NOT_ALLOWED) {
      failure.kind = FailureKind::ClearTextRefused;
    } else if (failure.kind == FailureKind::AccessDenied && options.sslMode == SslMode::Disabled &&
               offersTls) {
      failure.kind = FailureKind::SecureTransport;
    }
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

ServerFailure ClassifyStatementError(unsigned number, std::string text) {
  ServerFailure failure{FailureKind::Refused, number, std::move(text)};
  switch (number) {
    case 0:
      failure.kind = FailureKind::None;
      break;
    case ER_ACCESS_DENIED_ERROR:
      failure.kind = FailureKind::AccessDenied;
      break;
    case ER_BAD_DB_ERROR:
    case ER_WRONG_DB_NAME:
      failure.kind = FailureKind::UnknownDatabase;
      break;
    case ER_DBACCESS_DENIED_ERROR:
      failure.kind = FailureKind::DatabaseDenied;
      break;
    case ER_NO_SUCH_TABLE:
      failure.kind = FailureKind::TableMissing;
      break;
    default:
      if (mysqlIsConnectionError(number)) failure.kind = FailureKind::Connection;
  }
  return failure;
}

bool mysqlRequiredTlsSupported(std::string& version) {
  const unsigned long id = mysql_get_client_version();
  version = std::to_string(id / 10000) + "." + std::to_string(id / 100 % 100) + "." +
            std::to_string(id % 100);
  return id >= kTestedSeriesFirst && id < kTestedSeriesEnd;
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
