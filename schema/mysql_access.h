#pragma once
// Thin access layer over MariaDB Connector/C. Connections and stored results are plain
// integer handles (positive when valid, 0 = none); every failure is a 0 / false / -1 result,
// never an exception or a message. Used from one thread only.
#include <cstdint>
#include <string>

namespace kelvane {

using ConnectionHandle = int;
using RecordSet = int;
using ColumnTypeCode = std::int32_t;

// Seconds. The connect timeout bounds the whole connect and login, however slowly the server
// sends. Without a connect timeout a peer that accepts TCP and never speaks hangs the
// handshake for good; without read/write timeouts a frozen server hangs every statement.
inline constexpr unsigned kConnectTimeoutSeconds = 10;
inline constexpr unsigned kReadTimeoutSeconds = 30;
inline constexpr unsigned kWriteTimeoutSeconds = 30;

// TLS modes of the MySQL client's --ssl-mode.
//   Disabled        never encrypt.
//   Preferred       encrypt when the server offers TLS; no certificate check.
//   Required        encrypt or fail before logging in; no certificate check.
//   VerifyCa        Required, and the server's certificate chain must lead to sslCa.
//   VerifyIdentity  VerifyCa (sslCa, or the system's CAs when empty), and the certificate must
//                   name the host connected to.
enum class SslMode { Disabled, Preferred, Required, VerifyCa, VerifyIdentity };

// Why a connect or a statement failed, decided here once so that every front only prints it.
enum class FailureKind {
  None,
  Connection,        // the server cannot be reached, or the connection broke off (client errors)
  Timeout,           // no complete login within kConnectTimeoutSeconds
  AccessDenied,      // wrong user name or password (1045)
  SecureTransport,   // 1045 under Disabled from a server whose greeting offered TLS: it may
                     // require secure transport (told without a second login)
  UnknownDatabase,   // 1049, 1102; on connect also 1300 (a name that is not UTF-8)
  DatabaseDenied,    // 1044
  TableMissing,      // 1146
  TlsNotOffered,     // TLS required, but the server's greeting did not offer it (or was not a
                     // well-formed greeting): nothing was sent
  TlsFailed,         // the TLS handshake or the certificate check failed
  NotEncrypted,      // the login completed without encryption although TLS was required; the
                     // connection was closed at once
  ClearTextRefused,  // the server asked for the password in clear (mysql_clear_password) on a
                     // connection that is not encrypted
  ClearTextChosen,   // the same plugin, asked for by the client's own settings (default-auth)
  FullLoginRefused,  // the server asked for the password itself (caching_sha2_password's full
                     // login, sha256_password) on an unencrypted TCP link, and no key of the
                     // server was pinned nor fetching it allowed (or it sent another key): the
                     // link was shut down before the password went out
  ServerKeyUnusable, // the pinned public key file cannot be read or is empty
  UntestedLibrary,   // TLS required, but the client library is not of the tested series
  Refused,           // any other server error
};
struct ServerFailure {
  FailureKind kind = FailureKind::None;
  unsigned number = 0;  // the library's or the server's error number (0: none)
  std::string text;     // the library's or the server's words, unescaped
};
// Classifies an error number of a statement on an open connection.
ServerFailure ClassifyStatementError(unsigned number, std::string text);

// Extra connection settings. The defaults are the window's: TLS when offered.
struct ConnectOptions {
  std::string optionGroup;     // non-empty: read this group (and [client]) of the option files
  ServerFailure* failure = nullptr;  // receives why the connect failed
  std::string optionFile;  // non-empty: read only this option file (with optionGroup)
  bool passwordGiven = false;  // the password is used even when empty (no option file or
                               // MYSQL_PWD stands in for it)
  bool* usedSocket = nullptr;  // receives whether the library went through a local socket
  SslMode sslMode = SslMode::Preferred;
  std::string sslCa{};    // CA file the server's chain is checked against (VerifyCa, VerifyIdentity)
  std::string sslCert{};  // client certificate and its key, for accounts that require one
  std::string sslKey{};
  // Always TCP, also for "localhost" (which the client library otherwise takes as the local
  // socket, ignoring the port).
  bool tcp = false;
  // Receives whether the server's greeting offered TLS (also when the login then failed).
  bool* serverOffersTls = nullptr;
  // Where the password must go on an unencrypted TCP link (caching_sha2_password's full login,
  // sha256_password): encrypted with the server's RSA key, which is either this PEM file
  // (pinned) or, with getServerPublicKey, whatever key the server sends (a man in the middle
  // can send its own). With neither, such a login is refused before the password leaves.
  std::string serverPublicKey{};
  bool getServerPublicKey = false;
};

// True when TLS modes that require encryption can be used with the client library loaded (its
// series is the one the greeting check was tested with). `version` receives its version text.
bool mysqlRequiredTlsSupported(std::string& version);

// The encryption of an open connection. The names may be empty also when it is encrypted (Wine's
// SChannel names no cipher).
struct TlsState {
  bool encrypted = false;
  std::string version;  // e.g. "TLSv1.3"
  std::string cipher;   // e.g. "TLS_AES_256_GCM_SHA384"
};
TlsState mysqlTlsState(ConnectionHandle connection);

// Maps a client-library column type number to the program's ColumnTypeCode.
ColumnTypeCode ColumnTypeCodeFor(int libraryType);

// Empty host, user and database are passed to the library as "not given"; so is an empty
// password unless options.passwordGiven (then option files or MYSQL_PWD may supply it). The
// overload without options is the window's: its password is always given, the empty one
// included. Port 0 is the library's default.
ConnectionHandle mysqlConnect(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& database,
                              unsigned port);
ConnectionHandle mysqlConnect(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& database,
                              unsigned port, const ConnectOptions& options);
// Closes a connection and frees every record set still registered for it. Unknown handles
// are ignored.
void mysqlClose(ConnectionHandle connection);

bool mysqlShowDatabases(ConnectionHandle connection);
bool mysqlShowTables(ConnectionHandle connection);
RecordSet mysqlStoreResult(ConnectionHandle connection);
std::uint64_t mysqlRowCount(RecordSet records);
// Reads the column at the cursor row without moving the cursor. Past the last row it reads
// the last row. NULL reads as ""; any other value is every byte sent, zero bytes included. On
// failure returns false and leaves text unchanged.
bool mysqlReadText(RecordSet records, int column, std::string& text);
bool mysqlNextRow(RecordSet records);
void mysqlFreeResult(RecordSet records);
bool mysqlTableExists(ConnectionHandle connection, const std::string& tableName);
// "select " + columns + " from " + table [+ " where " + condition] [+ " order by " + ordering];
// pieces are inserted exactly as given.
RecordSet mysqlSelect(ConnectionHandle connection, const std::string& tableName,
                      const std::string& columns, const std::string& condition,
                      const std::string& ordering);
unsigned mysqlFieldCount(RecordSet records);
ColumnTypeCode mysqlFieldTypeCode(RecordSet records, int column);
// A name the library cut at a zero byte ends in that zero byte (what followed it is lost).
bool mysqlFieldName(RecordSet records, int column, std::string& name);
// True when the column is TINYINT(1) or BIT(1), the shapes a yes/no column takes.
bool mysqlFieldIsOneWideFlag(RecordSet records, int column);
// The key flags of the column as the result metadata carries them (all false for a column
// that does not exist).
struct FieldKeyFlags {
  bool primaryKey = false;
  bool uniqueKey = false;
  bool notNull = false;
  bool autoIncrement = false;
};
FieldKeyFlags mysqlFieldKeyFlags(RecordSet records, int column);
// "show full columns from " + table (inserted exactly as given); a record set of one row per
// column with the comment in column 8, or 0 on failure.
RecordSet mysqlShowFullColumns(ConnectionHandle connection, const std::string& tableName);

// The error number and message of the last failed call on the connection (0 and "" when it
// succeeded or the handle is unknown). The only place the server's own words come through.
unsigned mysqlLastError(ConnectionHandle connection, std::string& text);
// True for the client-side errors that mean the connection itself broke (server gone, lost,
// unreachable), as opposed to the server refusing a statement.
bool mysqlIsConnectionError(unsigned errorCode);

// Number of connections currently open through this layer.
std::size_t mysqlOpenConnectionCount();

}  // namespace kelvane
