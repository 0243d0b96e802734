#include "schema/mysql_access.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <algorithm>
#include <cstddef>

#include <cstring>
#include <map>
#include <chrono>
#include <mutex>
#include <string_view>

#include "os/platform.h"
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

// The library's number for a TCP link (MARIADB_CONNECTION_PVIO_TYPE; its header is not installed).
constexpr unsigned kPvioTcp = 1;
// Server packets of the login longer than this are passed over unread (an RSA key is < 2 KiB).
constexpr std::size_t kLongestWatchedPacket = 16 * 1024;

// One connect, watched through the library's raw I/O hook on the connecting thread: the
// greeting (for the TLS modes that require it), the deadline, and where the password would go.
//
// Connector/C's caching_sha2_password sends the password as it is whenever TLS was merely asked
// for (PREFERRED), also when the server offered none; and without TLS it takes any RSA key the
// server hands it. So on an unencrypted TCP link the server's packets of the login are read as
// they arrive, before the plugin sees them:
//   - "perform full authentication" (01 04) is answered only when the user pinned the server's
//     key or allowed fetching it, and then the library is told that the link is not encrypted,
//     so that it encrypts the password with the key;
//   - a key (01 + PEM) is taken only when fetching was allowed or it is the pinned key.
// Anything else shuts the link down before the library writes again: the password never leaves.
struct ConnectWatch {
  MYSQL* conn = nullptr;
  bool requireTls = false;
  bool lowersTls = false;    // Preferred or Disabled: the library may be told the link is plain
  bool mayFetchKey = false;  // the server's own key may be used
  std::string pinnedKey;     // the key file's text, when one was given
  std::chrono::steady_clock::time_point deadline;

  GreetingVerdict verdict = GreetingVerdict::NeedMore;
  std::string greeting;
  std::string packet;        // the server packet being read (its first kLongestWatchedPacket bytes)
  std::size_t skip = 0;      // bytes of a long packet still to pass over
  unsigned packets = 0;      // server packets read so far; the first is the greeting
  bool clientSpoke = false;  // the client wrote after the greeting
  bool timedOut = false;
  bool serverAskedClearText = false;  // the greeting or an auth switch named a clear-text plugin
  const char* refusal = nullptr;  // why the link was shut down
};
ConnectWatch gWatch;
std::mutex gWatchLock;

std::string_view TrimmedKey(std::string_view key) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; };
  while (!key.empty() && space(key.front())) key.remove_prefix(1);
  while (!key.empty() && space(key.back())) key.remove_suffix(1);
  return key;
}

void Refuse(MYSQL* mysql, const char* why) {
  if (gWatch.refusal == nullptr) gWatch.refusal = why;
  mariadb_cancel(mysql);
}

// One whole server packet (at most its first kLongestWatchedPacket bytes) of the login.
void InspectServerPacket(MYSQL* mysql, std::string_view payload) {
  const auto namesClearText = [](std::string_view names) {
    return names.ends_with(std::string_view("mysql_clear_password\0", 21)) ||
           names.ends_with(std::string_view("dialog\0", 7)) ||
           names.find(std::string_view("\0mysql_clear_password\0", 22)) != std::string_view::npos ||
           names.find(std::string_view("\0dialog\0", 8)) != std::string_view::npos;
  };
  // The greeting ends with its plugin's name; an auth switch (FE) starts with the new one.
  if (gWatch.packets == 0 || (!payload.empty() && payload[0] == '\xfe'))
    gWatch.serverAskedClearText = gWatch.serverAskedClearText || namesClearText(payload);
  if (gWatch.packets++ == 0 || payload.empty() || payload[0] != '\x01') return;  // greeting
  if (mysql_get_ssl_cipher(mysql) != nullptr) return;  // the link is encrypted
  unsigned pvio = kPvioTcp;
  if (mariadb_get_infov(mysql, MARIADB_CONNECTION_PVIO_TYPE, &pvio) == 0 && pvio != kPvioTcp)
    return;  // a local socket or pipe never leaves the machine
  const bool fullLogin = payload == std::string_view("\x01\x04", 2);
  const bool key = payload.substr(1).starts_with("-----BEGIN");
  if (!fullLogin && !key) return;
  // Sent before the client answered the greeting, or on a link that should be encrypted: no
  // server does that.
  if (!gWatch.clientSpoke || gWatch.requireTls) return Refuse(mysql, "out of turn");
  const bool pinned = !gWatch.pinnedKey.empty();
  if (fullLogin) {
    if (!pinned && !gWatch.mayFetchKey) return Refuse(mysql, "no key");
    my_bool plain = 0;
    mysql_get_optionv(mysql, MYSQL_OPT_SSL_ENFORCE, &plain);
    const my_bool no = 0;
    if (plain && gWatch.lowersTls) mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &no);
    return;
  }
  if (gWatch.mayFetchKey) return;
  if (pinned && TrimmedKey(payload.substr(1)) == TrimmedKey(gWatch.pinnedKey)) return;
  Refuse(mysql, pinned ? "another key" : "no key");
}

void OnRawIo(int mode, MYSQL* mysql, const unsigned char* buffer, size_t length) {
  // The library passes a failed read's -1 as the length.
  if (mysql == nullptr || mysql != gWatch.conn || static_cast<std::ptrdiff_t>(length) <= 0 ||
      buffer == nullptr)
    return;
  if (!gWatch.timedOut && std::chrono::steady_clock::now() >= gWatch.deadline) {
    gWatch.timedOut = true;
    mariadb_cancel(mysql);  // every further read and write of the connect fails
    return;
  }
  if (mode != 0) {  // a write: the client's own bytes
    gWatch.clientSpoke = gWatch.packets > 0;
    return;
  }
  if (gWatch.verdict == GreetingVerdict::NeedMore) {
    const std::size_t room = 4 + kLongestGreeting - gWatch.greeting.size();
    gWatch.greeting.append(reinterpret_cast<const char*>(buffer), std::min(length, room));
    gWatch.verdict = ReadGreeting(gWatch.greeting);
    if (gWatch.requireTls && gWatch.verdict == GreetingVerdict::OffersTls)
      mysql_optionsv(mysql, MARIADB_OPT_TLS_PEER_FP, nullptr);
  }
  // The server's packets, split by their headers.
  std::string_view bytes(reinterpret_cast<const char*>(buffer), length);
  while (!bytes.empty() && gWatch.refusal == nullptr) {
    if (gWatch.skip > 0) {
      const std::size_t n = std::min(gWatch.skip, bytes.size());
      gWatch.skip -= n;
      bytes.remove_prefix(n);
      continue;
    }
    std::string& packet = gWatch.packet;
    if (packet.size() < 4) {
      const std::size_t n = std::min<std::size_t>(4 - packet.size(), bytes.size());
      packet.append(bytes.substr(0, n));
      bytes.remove_prefix(n);
      continue;
    }
    const std::size_t size = static_cast<unsigned char>(packet[0]) |
                             static_cast<std::size_t>(static_cast<unsigned char>(packet[1])) << 8 |
                             static_cast<std::size_t>(static_cast<unsigned char>(packet[2])) << 16;
    if (size > kLongestWatchedPacket) {
      gWatch.packets += 1;
      gWatch.skip = size;
      packet.clear();
      continue;
    }
    const std::size_t n = std::min(4 + size - packet.size(), bytes.size());
    packet.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
    if (packet.size() == 4 + size) {
      const std::string whole = std::move(packet);
      packet.clear();
      InspectServerPacket(mysql, std::string_view(whole).substr(4));
    }
  }
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

// Connects before the deadline, on this thread. Where the library's TLS layer can read without
// blocking, its non-blocking connect is driven here with a wait on the socket bounded by the
// time left; otherwise (Schannel) the blocking connect is bounded by the raw I/O hook, which
// shuts the link down at the first read or write after the deadline. Either way no other
// thread touches the handle, and a connect that succeeded is never cut afterwards.
bool ConnectBefore(MYSQL* conn, const char* host, const char* user, const char* password,
                   const char* database, unsigned port) {
  const char* tls = nullptr;
  mariadb_get_infov(nullptr, MARIADB_TLS_LIBRARY, &tls);
  const bool waitsHere = tls == nullptr || std::strncmp(tls, "Schannel", 8) != 0;
  if (!waitsHere || mysql_options(conn, MYSQL_OPT_NONBLOCK, nullptr) != 0)
    return mysql_real_connect(conn, host, user, password, database, port, nullptr, 0) != nullptr;
  MYSQL* connected = nullptr;
  int status = mysql_real_connect_start(&connected, conn, host, user, password, database, port, nullptr, 0);
  // After the deadline the link is shut down; the library then fails within a few steps.
  for (int stepsAfterDeadline = 0; status != 0 && stepsAfterDeadline < 1000; stepsAfterDeadline += gWatch.timedOut) {
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(gWatch.deadline - steady_clock::now()).count();
    if (left <= 0 && !gWatch.timedOut) {
      gWatch.timedOut = true;
      mariadb_cancel(conn);  // the library's next read or write fails, and the connect ends
    }
    int wait = static_cast<int>(std::clamp<long long>(left, 0, kConnectTimeoutSeconds * 1000));
    // Whose time runs out first: the library's own timer for this step, or the deadline.
    bool libraryTimer = false;
    if (status & MYSQL_WAIT_TIMEOUT) {
      const int libraryWait = static_cast<int>(mysql_get_timeout_value_ms(conn));
      if (libraryWait <= wait) {
        wait = libraryWait;
        libraryTimer = true;
      }
    }
    const int ready = os::WaitForSocket(static_cast<std::intptr_t>(mysql_get_socket(conn)),
                                        (status & MYSQL_WAIT_READ) != 0, (status & MYSQL_WAIT_WRITE) != 0,
                                        gWatch.timedOut ? 0 : wait);
    int events = 0;
    if (ready & os::kSocketReadable) events |= MYSQL_WAIT_READ;
    if (ready & os::kSocketWritable) events |= MYSQL_WAIT_WRITE;
    // The deadline came first: the next round cancels, and the failure reads as the timeout it
    // is (telling the library its own timer ran out would make it a lost connection).
    if (events == 0 && !gWatch.timedOut && !libraryTimer) continue;
    if (events == 0) events = gWatch.timedOut ? (status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE)) : MYSQL_WAIT_TIMEOUT;
    if (events == 0) events = MYSQL_WAIT_TIMEOUT;
    status = mysql_real_connect_cont(&connected, conn, events);
  }
  return connected != nullptr;
}

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
  options.getServerPublicKey = true;  // the window has no setting for it
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
  std::string pinnedKey;
  if (!options.serverPublicKey.empty() &&
      (os::ReadRegularFile(options.serverPublicKey, kLongestWatchedPacket, pinnedKey) != 0 ||
       TrimmedKey(pinnedKey).empty())) {
    failure = {FailureKind::ServerKeyUnusable, 0, "the server's public key file cannot be read"};
    mysql_close(conn);
    return 0;
  }
  if (!options.serverPublicKey.empty())
    mysql_optionsv(conn, MYSQL_SERVER_PUBLIC_KEY, options.serverPublicKey.c_str());
  // One connect at a time is watched. The hook is registered once and never taken away: the
  // library's unregistering drops the list head wrongly (3.3), leaving a freed entry in place.
  // Outside a connect it does nothing (gWatch.conn is null).
  std::lock_guard<std::mutex> watching(gWatchLock);
  static std::once_flag hooked;
  std::call_once(hooked, [] { ma_pvio_register_callback(1, OnRawIo); });
  gWatch = ConnectWatch{};
  gWatch.conn = conn;
  gWatch.requireTls = requireTls;
  gWatch.lowersTls = !requireTls;
  gWatch.mayFetchKey = options.getServerPublicKey;
  gWatch.pinnedKey = std::move(pinnedKey);
  gWatch.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kConnectTimeoutSeconds);
  const char* secret = options.passwordGiven ? password.c_str() : OrNull(password);
  const bool connected = ConnectBefore(conn, OrNull(host), OrNull(user), secret, OrNull(database), port);
  // Needed for the login only; the library would not free it with the connection (3.3).
  if (!options.serverPublicKey.empty()) mysql_optionsv(conn, MYSQL_SERVER_PUBLIC_KEY, nullptr);
  const ConnectWatch watched = std::move(gWatch);
  gWatch = ConnectWatch{};
  const GreetingVerdict verdict = watched.verdict;
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
    if (watched.refusal != nullptr) {
      // The library's words would only say that the link broke.
      const std::string_view why = watched.refusal;
      failure.kind = FailureKind::FullLoginRefused;
      failure.number = 0;
      failure.text = why == "no key"        ? "the server asked for the password's full login on an unencrypted link"
                     : why == "another key" ? "the server sent a public key other than the pinned one"
                                            : "the server asked for the password out of turn";
    } else if (watched.timedOut || std::chrono::steady_clock::now() >= watched.deadline) {
      failure.kind = FailureKind::Timeout;
      failure.text = "no complete login within " + std::to_string(kConnectTimeoutSeconds) + " s";
    } else if (failure.number == CR_SSL_CONNECTION_ERROR) {
      failure.kind = requireTls && verdict != GreetingVerdict::OffersTls ? FailureKind::TlsNotOffered
                                                                          : FailureKind::TlsFailed;
    } else if (failure.number == ER_INVALID_CHARACTER_STRING && !database.empty()) {
      failure.kind = FailureKind::UnknownDatabase;  // a name no database can have
    } else if (failure.number == CR_PLUGIN_NOT_ALLOWED) {
      // The library's message would carry bytes of the previous plugin's answer.
      failure.kind = watched.serverAskedClearText ? FailureKind::ClearTextRefused : FailureKind::ClearTextChosen;
      failure.text = "authentication plugin not allowed";
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
    // Every byte the server sent, zero bytes included: a name is carried by its length.
    text.assign(value, lengths ? lengths[column] : std::strlen(value));
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
  const MYSQL_FIELD& field = mysql_fetch_fields(res)[column];
  // The library keeps the name as a C string cut at its first zero byte, but name_length as the
  // server declared it: reading name_length bytes would run past the copy. A name that holds a
  // zero byte keeps what comes before it and one zero byte, so every later check sees it; the
  // bytes after it are gone.
  const std::size_t kept = ::strnlen(field.name, field.name_length);
  name.assign(field.name, kept);
  if (kept < field.name_length) name += '\0';
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
