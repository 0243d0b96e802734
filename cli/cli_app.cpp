#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string_view>

#include "cli/name_checks.h"
#include "cli/option_files.h"
#include "os/password_prompt.h"
#include "os/platform.h"
#include "cli/safe_names.h"
#include "cli/table_export.h"
#include "cli/tls_options.h"
#include "generators/generators.h"
#include "kelvane_version.h"
#include "schema/mysql_access.h"
#include "schema/schema_commands.h"
#include "schema/table_key.h"

namespace kelvane::cli {

namespace {

constexpr const char* kProgram = "kelvane-gen";
constexpr const char* kOptionGroup = "kelvane-gen";

const std::map<std::string, Pane>& PaneNames() {
  static const std::map<std::string, Pane> names = {
      {"custom-type", Pane::CustomType},
      {"class-module", Pane::ClassModule},
      {"set-class", Pane::SetClass},
      {"csharp-entity", Pane::CSharpEntity},
      {"csharp-operation", Pane::CSharpOperation},
  };
  return names;
}

// Everything the command line can say.
struct Settings {
  std::string host = "127.0.0.1";
  unsigned port = kDefaultPort;
  std::string user = "root";
  std::string password;
  bool passwordGiven = false;
  bool askPassword = false;
  bool boolTinyint1 = false;

  std::string database;
  std::string table;
  std::vector<std::string> tables;
  std::string pane;
  std::string encoding;  // empty: the command's default
  std::string out;
  bool force = false;
  std::string key;        // --key: a column name or "auto"; empty: the first column
  bool comments = false;  // --comments
  std::string optionFile;  // the gathered option files; empty: none are read
  TlsSettings tls;
  ConnectOptions connect;  // the TLS settings resolved from the command line and option files
};

void Error(const std::string& message) { std::cerr << kProgram << ": " << message << '\n'; }

std::string Quoted(const std::string& name) { return "\"" + Printable(name) + "\""; }
std::string PrintableName(std::string_view name) { return Printable(name); }

// Writes bytes to standard output as they are; says so and returns false when the output cannot
// take them.
bool WriteOut(std::string_view bytes) {
  if (platform::WriteStdout(bytes)) return true;
  Error(std::string("cannot write to standard output: ") + std::strerror(errno));
  std::clearerr(stdout);
  return false;
}

// "host:port", with brackets around an IPv6 address.
std::string HostAndPort(const Settings& settings) {
  const bool v6 = settings.host.find(':') != std::string::npos && !settings.host.starts_with("[");
  const std::string host = Printable(settings.host);
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(settings.port);
}

// The server's or library's words as they may go to a terminal.
std::string Says(const ServerFailure& failure) {
  return failure.number == 0 && failure.text.empty()
             ? std::string()
             : ": " + Printable(failure.text) +
                   (failure.number == 0 ? std::string() : " (error " + std::to_string(failure.number) + ")");
}

// Connects with `database` as default database ("" for none) and hands the connection to
// `session`. On failure prints why and returns the exit code; kExitOk on success.
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
  switch (failure.kind) {
    case FailureKind::UnknownDatabase:
      Error("database " + Quoted(database) + " not found" + Says(failure));
      return kExitNotFound;
    case FailureKind::DatabaseDenied:
      Error("access to database " + Quoted(database) + " denied for user " + Quoted(settings.user) +
            Says(failure));
      return kExitNotFound;
    case FailureKind::UntestedLibrary:
      Error(ModeName(options.sslMode) + " cannot be used: " + Printable(failure.text) +
            ", with which kelvane-gen cannot make sure that no login goes out unencrypted");
      return kExitConnection;
    default:
      break;
  }
  Error("cannot connect to " + where + " as " + Printable(settings.user) + Says(failure));
  const std::string hint = TlsFailureHint(options, settings.host, failure);
  if (!hint.empty()) Error(hint);
  return kExitConnection;
}

// The last failure on the connection, classified.
ServerFailure LastFailure(ConnectionHandle connection) {
  std::string text;
  const unsigned code = mysqlLastError(connection, text);
  return ClassifyStatementError(code, text);
}

// Reads the table's columns. On failure returns the exit code with `message` set; `serverGone`
// tells a connection that broke off (every further table would fail too) from a table that
// failed on its own. `listed`: the name comes from the table list just read.
int ReadTable(ConnectionHandle connection, const Settings& settings, const std::string& table,
              bool listed, FieldTable& fields, ColumnFactsList& facts, std::string& message,
              bool& serverGone) {
  serverGone = false;
  const ColumnRead read =
      ReadColumns(connection, table, fields, facts, ColumnReadOptions{settings.boolTinyint1, listed});
  if (read == ColumnRead::Ok) {
    // The comments take a statement of their own, sent only when they were asked for.
    if (!settings.comments || ReadColumnComments(connection, table, fields, facts)) return kExitOk;
    const ServerFailure failure = LastFailure(connection);
    const std::string says = Says(failure);
    if (failure.kind == FailureKind::None || failure.kind == FailureKind::Connection) {
      serverGone = true;
      message = "the connection to the server broke off while reading the column comments of table " +
                Quoted(table) + says;
      return kExitConnection;
    }
    message = "the server refused to show the column comments of table " + Quoted(table) + says;
    return kExitOther;
  }
  const ServerFailure failure = LastFailure(connection);
  const std::string says = Says(failure);
  if (read == ColumnRead::NoConnection || failure.kind == FailureKind::Connection) {
    serverGone = true;
    message = "the connection to the server broke off while reading table " + Quoted(table) + says;
    return kExitConnection;
  }
  // Not in the table list (the check succeeded, so no error), or dropped since it was listed.
  if ((read == ColumnRead::TableNotFound && failure.kind == FailureKind::None) ||
      failure.kind == FailureKind::TableMissing) {
    message = "table " + Quoted(table) + " not found in database " + Quoted(settings.database);
    return kExitNotFound;
  }
  message = "the server refused to read the columns of table " + Quoted(table) + says;
  return kExitOther;
}

// ReadTable for the single-table commands: prints the message itself.
int ReadOneTable(ConnectionHandle connection, const Settings& settings, FieldTable& fields,
                 ColumnFactsList& facts) {
  std::string message;
  bool serverGone = false;
  const int code =
      ReadTable(connection, settings, settings.table, false, fields, facts, message, serverGone);
  if (code != kExitOk) Error(message);
  return code;
}

// "show databases" / "show tables" into `names`; on failure prints why and returns the exit
// code: a listing that broke off is a connection failure.
int List(ConnectionHandle connection, const Settings& settings, bool databases,
         std::vector<std::string>& names) {
  if (ListNames(connection, databases, names)) return kExitOk;
  const ServerFailure failure = LastFailure(connection);
  const std::string says = Says(failure);
  const std::string what = databases ? "the databases" : "the tables of " + Quoted(settings.database);
  if (failure.kind == FailureKind::None || failure.kind == FailureKind::Connection) {
    Error("the connection to the server broke off while listing " + what + says);
    return kExitConnection;
  }
  Error("the server refused to list " + what + says);
  return kExitOther;
}

int ListCommand(const Settings& settings, bool databases) {
  SchemaSession connection;
  if (int code = Connect(settings, databases ? "" : settings.database, connection)) return code;
  std::vector<std::string> names;
  if (int code = List(connection.handle(), settings, databases, names)) return code;
  std::string text;
  for (const std::string& name : names) text += Printable(name) + "\n";
  return WriteOut(text) ? kExitOk : kExitOther;
}

// Refuses names with control characters (exit code, `message` set) and warns about names that
// are not identifiers; `beforeWarning` runs before the first warning is printed.
template <typename BeforeWarning>
int CheckNames(const std::string& table, const FieldTable& fields, std::string& message,
               BeforeWarning beforeWarning) {
  message = ControlCharacterProblem(table, fields);
  if (!message.empty()) return kExitControlName;
  const std::vector<std::string> warnings = IdentifierWarnings(table, fields);
  if (!warnings.empty()) beforeWarning();
  for (const std::string& warning : warnings) Error(warning);
  return kExitOk;
}

// The options of a table's texts: the key column --key chose and the comments read. On a --key
// that names nothing usable returns kExitUsage with `message` set. Otherwise prints the
// warning when the key column does not tell the rows apart (`beforeWarning` runs first).
template <typename BeforeWarning>
int TextOptionsFor(const Settings& settings, const std::string& table, const FieldTable& fields,
                   const ColumnFactsList& facts, TextOptions& options, std::string& message,
                   BeforeWarning beforeWarning) {
  options = TextOptions{};
  if (!settings.key.empty()) {
    const KeyChoice choice = ChooseKeyColumn(settings.key, fields, facts, PrintableName);
    if (!choice.problem.empty()) {
      message = "table " + Quoted(table) + ": " + choice.problem;
      return kExitUsage;
    }
    options.keyPosition = choice.position;
  }
  if (settings.comments) options.comments = CommentsOf(facts);
  std::string warning =
      KeyWarningText(table, fields, facts, options.keyPosition, PrintableName);
  if (warning.empty()) return kExitOk;
  if (settings.key.empty() && FindTableKey(fields, facts).primary.size() == 1)
    warning += "; --key auto makes it the key column";
  beforeWarning();
  Error("warning: " + warning);
  return kExitOk;
}

int ColumnsCommand(const Settings& settings) {
  SchemaSession connection;
  if (int code = Connect(settings, settings.database, connection)) return code;
  FieldTable fields;
  ColumnFactsList facts;
  if (int code = ReadOneTable(connection.handle(), settings, fields, facts)) return code;
  std::string text;
  for (const FieldRecord& field : fields)
    text += Printable(field.columnName, "|") + "|" + field.eplType + "|" + field.prefix + "|" + field.csharpType +
            "\n";
  return WriteOut(text) ? kExitOk : kExitOther;
}

Encoding ChosenEncoding(const Settings& settings, Encoding fallback) {
  if (settings.encoding.empty()) return fallback;
  return settings.encoding == "gbk" ? Encoding::Gbk : Encoding::Utf8;
}

int GenerateCommand(const Settings& settings) {
  SchemaSession connection;
  if (int code = Connect(settings, settings.database, connection)) return code;
  FieldTable fields;
  ColumnFactsList facts;
  if (int code = ReadOneTable(connection.handle(), settings, fields, facts)) return code;
  std::string refused;
  if (int code = CheckNames(settings.table, fields, refused, [] {})) {
    Error(refused);
    return code;
  }
  TextOptions options;
  if (int code = TextOptionsFor(settings, settings.table, fields, facts, options, refused, [] {})) {
    Error(refused);
    return code;
  }
  const Encoding encoding = ChosenEncoding(settings, Encoding::Utf8);
  if (encoding == Encoding::Gbk) {
    const std::string problem = GbkNameProblem(settings.table, fields);
    if (!problem.empty()) {
      Error(problem);
      return kExitEncoding;
    }
  }
  std::string bytes, problem;
  if (!Encode(BuildPaneText(PaneNames().at(settings.pane), settings.table, fields, options), encoding,
              bytes, problem)) {
    Error("table " + Quoted(settings.table) + ": " + problem + "; use --encoding utf-8");
    return kExitEncoding;
  }
  return WriteOut(bytes) ? kExitOk : kExitOther;
}

// "[12/340] orders" on one terminal line that each table overwrites.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(platform::StderrIsTerminal()) {}
  void Show(std::size_t index, const std::string& table) {
    if (!shown_) return;
    std::cerr << "\r[" << index << "/" << total_ << "] " << Printable(table) << "\x1b[K"
              << std::flush;
  }
  void Clear() {
    if (shown_) std::cerr << "\r\x1b[K" << std::flush;
  }

 private:
  std::size_t total_;
  bool shown_;
};

std::string TableCount(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " table" : " tables");
}

int ExportCommand(const Settings& settings) {
  namespace fs = std::filesystem;
  SchemaSession connection;
  if (int code = Connect(settings, settings.database, connection)) return code;
  // The one table list of the run: the columns of each table are read without another look.
  std::vector<std::string> serverTables;
  if (int code = List(connection.handle(), settings, false, serverTables)) return code;

  std::vector<std::string> chosen = serverTables;
  if (!settings.tables.empty()) {
    // Every named table must exist before anything is written.
    const std::set<std::string> known(serverTables.begin(), serverTables.end());
    std::vector<std::string> missing;
    for (const std::string& table : settings.tables)
      if (!known.contains(table)) missing.push_back(table);
    if (!missing.empty()) {
      for (const std::string& table : missing)
        Error("table " + Quoted(table) + " not found in database " + Quoted(settings.database));
      return kExitNotFound;
    }
    chosen = settings.tables;
  }

  const fs::path outDir = platform::Utf8Path(settings.out);
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir, ec)) {
    Error("cannot use " + settings.out + " as output folder" + (ec ? ": " + ec.message() : ""));
    return kExitOther;
  }

  // One export at a time into one folder: two at once would interleave their table folders.
  platform::OutputFolderLock outLock;
  if (int error = outLock.Lock(outDir)) {
    Error(error == EWOULDBLOCK ? "another export is writing into " + settings.out + "; try again when it has finished"
                               : "cannot lock " + settings.out + ": " + std::strerror(error));
    return kExitOther;
  }

  const std::vector<FolderName> folders = AssignFolderNames(chosen);
  std::string mapping;
  for (const FolderName& entry : folders)
    if (entry.changed) mapping += "table " + Quoted(entry.table) + " -> folder " + entry.folder + "\n";
  if (!WriteOut(mapping)) return kExitOther;

  for (const std::string& name : RemoveStaleWorkFolders(outDir))
    Error("removed " + platform::PathText(outDir / platform::Utf8Path(name)) + ", left by an export that was stopped");

  const Encoding encoding = ChosenEncoding(settings, Encoding::Gbk);
  Progress progress(folders.size());
  int result = kExitOk;
  std::size_t written = 0, replaced = 0, failed = 0, tried = 0;
  const auto fail = [&](int code, const std::string& error) {
    progress.Clear();
    Error(error);
    if (result == kExitOk) result = code;
    ++failed;
  };
  // Every table's files are staged first; the writer then makes them durable at once and puts
  // them in place (folder_write.h).
  ExportWriter writer(outDir, settings.force);
  std::vector<const FolderName*> staged;
  for (std::size_t i = 0; i < folders.size(); ++i, ++tried) {
    const FolderName& entry = folders[i];
    progress.Show(i + 1, entry.table);
    FieldTable fields;
    ColumnFactsList facts;
    TextOptions options;
    std::vector<OutputFile> files;
    std::string error;
    bool serverGone = false;
    int code =
        ReadTable(connection.handle(), settings, entry.table, true, fields, facts, error, serverGone);
    if (code == kExitOk) code = CheckNames(entry.table, fields, error, [&] { progress.Clear(); });
    if (code == kExitOk)
      code = TextOptionsFor(settings, entry.table, fields, facts, options, error,
                            [&] { progress.Clear(); });
    if (code == kExitOk &&
        !BuildTableFiles(entry.table, entry.folder, fields, options, encoding, files, error))
      code = kExitEncoding;
    if (code == kExitOk) {
      const FolderWriteResult stage = writer.Stage(entry.table, entry.folder, files);
      if (stage.status == FolderWrite::Written) {
        staged.push_back(&entry);
        continue;
      }
      code = kExitOther;
      error = stage.status == FolderWrite::TargetFailed ? stage.error
                                                        : "table " + Quoted(entry.table) + ": " + stage.error;
      fail(code, error);
      // The remaining tables would fail the same way; they are not tried (nor counted failed).
      if (stage.status == FolderWrite::TargetFailed) {
        ++tried;
        break;
      }
      continue;
    }
    fail(code, error);
    if (serverGone) {
      ++tried;
      break;
    }
  }
  progress.Clear();  // messages never land in the middle of the progress line

  const std::vector<FolderWriteResult> writes = writer.Finish();
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const FolderWriteResult& write = writes[i];
    const std::string& table = staged[i]->table;
    if (write.status == FolderWrite::Written)
      for (const std::string& path : write.forced) Error("replaced " + path + " (--force)");
    if (!write.note.empty()) Error("table " + Quoted(table) + ": " + write.note);
    switch (write.status) {
      case FolderWrite::Written:
        ++written;
        if (write.replacedEarlier) ++replaced;
        break;
      case FolderWrite::InTheWay:
        for (const std::string& line : write.inTheWay) Error(line);
        fail(kExitInTheWay,
             "table " + Quoted(table) +
                 (settings.force ? ": nothing written; move the files above away"
                                 : ": nothing written; move the files above away or use --force to replace them"));
        break;
      case FolderWrite::Failed:
      case FolderWrite::TargetFailed:
        fail(kExitOther, write.status == FolderWrite::Failed ? "table " + Quoted(table) + ": " + write.error
                                                             : write.error);
        break;
    }
  }

  std::string summary = "exported ";
  if (written == folders.size())
    summary += TableCount(written);
  else
    summary += std::to_string(written) + " of " + TableCount(folders.size());
  summary += " of " + Printable(settings.database) + " to " + Printable(settings.out) + " (" +
             std::string(EncodingName(encoding)) + ")";
  if (replaced > 0) summary += "; " + std::to_string(replaced) + " replaced an earlier export";
  if (failed > 0) summary += "; " + std::to_string(failed) + " failed";
  if (tried < folders.size()) summary += "; " + std::to_string(folders.size() - tried) + " not tried";
  if (!WriteOut(summary + "\n")) return kExitOther;
  return result;
}

constexpr const char* kFooter = R"(Commands:
  databases                      one database name per line, in server order
  tables DB                      one table name per line, in server order
  columns DB TABLE               one line per column, columnName|eplType|prefix|csharpType,
                                 the state record X last
  generate DB TABLE --pane PANE [--encoding gbk|utf-8] [--key COLUMN|auto] [--comments]
                                 writes exactly that pane's text to standard output
  export DB [TABLE...] --out DIR [--encoding gbk|utf-8] [--key COLUMN|auto] [--comments]
                                 writes the five texts of every table (or of the named ones)
                                 into DIR/<table>/: custom_type.txt, class_module.txt,
                                 set_class.txt, <table>.cs and Star.cs

PANE is one of custom-type, class-module, set-class, csharp-entity, csharp-operation.

Listings print each name on one line: a backslash as \\, C0 controls and DEL as \xHH, C1
  controls, U+2028 and U+2029 as \uHHHH, and in columns a | inside a name as \|.

Connection: -h/--host (default 127.0.0.1), -P/--port (default 3306), -u/--user (default root).
  --password=PW or -pPW gives the password (--password= gives the empty one); -p or --password
  alone asks for it without echo (an empty line is the empty password) and the word after it is
  never taken as the password. The last of them counts. The password is overwritten with x in
  the process list. With none of them, the password comes from the [client] or [kelvane-gen]
  group of the MySQL option files (/etc/my.cnf, /etc/mysql/my.cnf, $MARIADB_HOME or
  $MYSQL_HOME/my.cnf, ~/.my.cnf), else from the MYSQL_PWD environment variable. A
  world-writable option file is ignored with a warning, as the MySQL client does, and so is one
  that is not a regular file or is larger than 1 MiB; includes go at most 16 deep and never
  back to a file being read. A file's password goes straight to the login and is never
  written anywhere. Names always travel as utf8mb4, whatever default-character-set a file
  sets; init-command and database in a file are not used (--verbose says so). Host, user and
  port always take the command line's value or the default above.
  Options may stand before or after the command.

TLS, as the mysql client: --ssl-mode=DISABLED|PREFERRED|REQUIRED|VERIFY_CA|VERIFY_IDENTITY.
  PREFERRED (the default) encrypts whenever the server offers TLS, without checking its
  certificate. REQUIRED refuses to log in without TLS. VERIFY_CA also checks that the server's
  certificate chains to --ssl-ca=FILE; VERIFY_IDENTITY also that it names the host (-h).
  --ssl-cert=FILE and --ssl-key=FILE give a client certificate. --ssl-ca without --ssl-mode
  means VERIFY_CA. The same keys (ssl-mode, ssl-ca, ssl-cert, ssl-key, also with loose-) are
  read from the option files' [client] and [kelvane-gen] groups; each setting of the command
  line wins, and no other ssl-* or tls-* key of a file is used, so a file cannot weaken what
  the command line asks for. The certificate and key files must be regular files holding a PEM
  certificate or key. Without TLS the server's clear-text password plugins
  (mysql_clear_password, dialog) are refused. --verbose says on standard error how the
  connection is encrypted (TLS version and cipher).

Encoding: --encoding gbk|utf-8. Default: UTF-8 for generate (standard output), GBK for the files
  of export. File and folder names stay UTF-8. When GBK cannot hold a character of a table or
  column name, the command names them, writes nothing for that table and ends with exit code 4.

--bool-tinyint1: TINYINT(1) and BIT(1) columns become 逻辑型 / Jl / bool. Without it the texts
  are exactly the window's.

Key: the set class's 库_删, 库_改 and 库_查 (also 组_删 and the extensions that look records up
  by key) use its key column, the table's first column. When that column does not tell the
  rows apart (it is neither the table's one-column primary key nor a not-null column with a
  unique key of its own), generate and export warn on standard error, naming the table, the
  column and the table's real key; the texts stay as they are. --key COLUMN makes COLUMN the
  key column, --key auto the table's one-column primary key; when there is none, or no such
  column, that is a usage error (exit code 1; export writes nothing for that table). Nothing
  else in the texts changes.

--comments: reads the column comments (one "show full columns" per table) and writes each as
  a remark: in the custom type and the class module at the end of the member, variable and
  accessor lines (.成员 name,文本型,,,COMMENT  .程序集变量 Jwname,文本型,,,COMMENT
  .子程序 name, 文本型, 公开,COMMENT), in the C# entity as /// <summary> lines above the property
  (& < > written as &amp; &lt; &gt;). A comment stays on one line: each run of control
  characters (line breaks and tabs among them) becomes one space, spaces at either end go. A
  column without a comment gets no remark. Without --comments the texts are exactly the window's.

Names: generate and export refuse a table whose name or column names hold a control character
  (C0, DEL, U+2028, U+2029), naming table, column and code point (exit code 7). For names that
  are printable but not identifiers in C# or 易语言 (spaces, braces, semicolons, quotes, C#
  keywords) the texts are generated unchanged and a warning on standard error names them.

export: table names that cannot be folder names as they stand (a / or other character some file
  system refuses, a leading dot, a device name, a name that meets another one when case is
  ignored) are made safe; each such table is printed as
  table "NAME" -> folder FOLDER. export writes only its own five files and never removes a file
  it did not write: each folder gets a manifest (.kelvane-gen-manifest) with the name, size and
  hash of every file written. A re-export replaces the files the manifest lists unchanged; a
  file at one of the five names that the previous export did not write, or that was changed
  since, is named on standard error and nothing is written for that table (exit code 6) unless
  --force is given (folders and links are never replaced). Other files in the folder are left
  alone. A new folder, or one holding only the previous export, is put in place whole in one
  step. Work folders (.kelvane-gen-PID-XXXXXX) left by a stopped export are removed by the next
  one into the same folder. Progress ("[12/340] orders") goes to standard error when it is a
  terminal; a summary line ends the output.

Exit codes:
  0 success
  1 usage error
  2 connection or authentication failure (the server's message on standard error), also a
    connection that broke off while listing or reading
  3 database or table not found, or access to the database denied
  4 encoding failure (GBK cannot hold a character; try --encoding utf-8)
  5 other failure: any other server error, or a file that cannot be written
  6 export: files the previous export did not write (or that were changed since) stand where
    the export writes; nothing was written for those tables (see --force)
  7 a table or column name holds a control character (C0, DEL, U+2028, U+2029); nothing is
    generated for that table
)";

}  // namespace

std::size_t PasswordStart(std::string_view argument) {
  if (argument.starts_with("--password=")) return std::string_view("--password=").size();
  if (argument.size() > 2 && argument.starts_with("-p")) return 2;
  return 0;
}

PasswordArguments TakePasswordArguments(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& optionsWithValue) {
  PasswordArguments result;
  bool afterDashes = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    afterDashes = afterDashes || argument == "--";
    const std::size_t start = afterDashes ? 0 : PasswordStart(argument);
    const bool ask = !afterDashes && (argument == "-p" || argument == "--password");
    if (start == 0 && !ask) {
      result.rest.push_back(argument);
      continue;
    }
    if (i > 0 && result.valueMissing.empty() &&
        std::find(optionsWithValue.begin(), optionsWithValue.end(), arguments[i - 1]) !=
            optionsWithValue.end())
      result.valueMissing = arguments[i - 1];
    result.ask = ask;
    result.given = !ask;
    result.password = ask ? std::string() : argument.substr(start);
    if (ask && i + 1 < arguments.size()) result.afterAsk.push_back(arguments[i + 1]);
  }
  return result;
}

void HidePasswords(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    if (const std::size_t start = PasswordStart(argv[i]))
      for (char* c = argv[i] + start; *c != '\0'; ++c) *c = 'x';
}

int RunCli(const std::vector<std::string>& rawArguments) {
  Settings settings;
  CLI::App app{"Writes 易语言 and C# source texts for the tables of a MySQL or MariaDB database.",
               kProgram};
  app.set_help_flag("--help", "Print this help and exit");
  app.set_version_flag("--version", std::string(kProgram) + " " KELVANE_VERSION,
                       "Print the version and exit");
  app.footer(kFooter);
  app.fallthrough();
  app.require_subcommand(1);

  app.add_option("-h,--host", settings.host, "Server host name or address (default 127.0.0.1)")
      ->check([](const std::string& host) {
        return host.empty() ? std::string("the host must not be empty") : std::string();
      });
  app.add_option("-P,--port", settings.port, "Server port (default 3306)")
      ->check(CLI::Range(1u, 65535u));
  app.add_option("-u,--user", settings.user, "User name (default root)");
  // Taken out of the command line before it is parsed (TakePasswordArguments); declared for
  // the help only.
  std::string unusedPassword;
  bool unusedAsk = false;
  app.add_option("--password", unusedPassword,
                 "Password as given (also -pPW; --password= is the empty one); -p or --password "
                 "alone asks for it, the next word is never taken as the password");
  app.add_flag("-p", unusedAsk, "Ask for the password without echoing it");
  app.add_flag("--bool-tinyint1", settings.boolTinyint1,
               "Map TINYINT(1) and BIT(1) columns to 逻辑型 / Jl / bool");
  AddTlsOptions(app, settings.tls);

  const auto nonEmpty = [](const std::string& name) {
    return name.empty() ? std::string("the database name must not be empty") : std::string();
  };
  const auto encodingOption = [&](CLI::App* command, const char* defaultName) {
    command
        ->add_option("--encoding", settings.encoding,
                     std::string("Text encoding, gbk or utf-8 (default ") + defaultName + ")")
        ->transform(CLI::IsMember({"gbk", "utf-8"}, CLI::ignore_case));
  };

  CLI::App* databases = app.add_subcommand("databases", "List the databases, one per line");
  CLI::App* tables = app.add_subcommand("tables", "List the tables of DB, one per line");
  tables->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  CLI::App* columns = app.add_subcommand("columns", "List the columns of a table as the generators see them");
  columns->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  columns->add_option("TABLE", settings.table, "Table")->required();
  CLI::App* generate = app.add_subcommand("generate", "Write one pane's text for a table to standard output");
  generate->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  generate->add_option("TABLE", settings.table, "Table")->required();
  std::vector<std::string> paneNames;
  for (const auto& [name, pane] : PaneNames()) paneNames.push_back(name);
  generate
      ->add_option("--pane", settings.pane,
                   "custom-type, class-module, set-class, csharp-entity or csharp-operation")
      ->required()
      ->check(CLI::IsMember(paneNames));
  encodingOption(generate, "utf-8");
  const auto textOptions = [&](CLI::App* command) {
    command
        ->add_option("--key", settings.key,
                     "The set class's key column: COLUMN, or auto for the table's one-column "
                     "primary key (default: the first column)")
        ->check([](const std::string& key) {
          return key.empty() ? std::string("the key column must not be empty") : std::string();
        });
    command->add_flag("--comments", settings.comments,
                      "Write the column comments as remarks (one more statement per table)");
  };
  textOptions(generate);
  CLI::App* exporter = app.add_subcommand("export", "Write the five texts of each table to files");
  exporter->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  exporter->add_option("TABLE", settings.tables, "Tables to export (default: all)");
  exporter->add_option("--out", settings.out, "Output folder (created when missing)")
      ->required()
      ->check([](const std::string& dir) {
        return dir.empty() ? std::string("the output folder must not be empty") : std::string();
      });
  encodingOption(exporter, "gbk");
  textOptions(exporter);
  exporter->add_flag("--force", settings.force,
                     "Replace files at the export's file names even when the previous export did "
                     "not write them or they were changed since");

  // The full reference stays with the top-level help.
  for (CLI::App* command : {databases, tables, columns, generate, exporter})
    command->footer(
        "Connection options (-h, -P, -u, --password, -p) and --bool-tinyint1 may stand before or\n"
        "after the command; 'kelvane-gen --help' describes them all.");

  std::vector<std::string> optionsWithValue;
  std::vector<const CLI::App*> commands = {&app};
  for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command);
  for (const CLI::App* command : commands)
    for (const CLI::Option* option : command->get_options())
      if (option->get_type_size_max() > 0) {
        for (const std::string& name : option->get_snames()) optionsWithValue.push_back("-" + name);
        for (const std::string& name : option->get_lnames()) optionsWithValue.push_back("--" + name);
      }
  const PasswordArguments passwords = TakePasswordArguments(rawArguments, optionsWithValue);
  settings.password = passwords.password;
  settings.passwordGiven = passwords.given;
  settings.askPassword = passwords.ask;
  const auto usageError = [](const std::string& message) {
    Error(message);
    std::cerr << "Run '" << kProgram << " --help' for the commands and options.\n";
    return kExitUsage;
  };
  if (!passwords.valueMissing.empty())
    return usageError(passwords.valueMissing + " needs a value; a password argument follows it");

  std::vector<std::string> reversed = passwords.rest;
  std::reverse(reversed.begin(), reversed.end());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    // The top-level help shows every command with its options.
    std::cout << (app.get_subcommands().empty() ? app.help("", CLI::AppFormatMode::All)
                                                : app.help());
    return WriteOut("") ? kExitOk : kExitOther;
  } catch (const CLI::CallForVersion& e) {
    return WriteOut(std::string(e.what()) + "\n") ? kExitOk : kExitOther;
  } catch (const CLI::ParseError& e) {
    const std::string message = e.what();
    // The word after a bare -p may be a password the user meant to give: never show it.
    for (const std::string& word : passwords.afterAsk)
      if (!word.empty() && message.find(word) != std::string::npos)
        return usageError("-p or --password alone asks for the password; the word after it is "
                          "not taken as one (give it as --password=PW or -pPW)");
    return usageError(message);
  }

  // The option files, read once: their password goes to the connect call, their TLS keys are
  // resolved with the command line's, and the rest goes to the client library as one text.
  const char* mysqlHome = std::getenv("MARIADB_HOME") ? "MARIADB_HOME" : "MYSQL_HOME";
  const OptionText optionText = GatherOptionFiles(platform::Environment("HOME"),
                                                  platform::Environment(mysqlHome), kOptionGroup);
  for (const std::string& warning : optionText.warnings) std::cerr << warning << '\n';
  if (settings.tls.verbose)
    for (const std::string& note : optionText.notes) Error("note: " + note);
  if (!settings.passwordGiven && !settings.askPassword && optionText.passwordGiven) {
    settings.password = optionText.password;
    settings.passwordGiven = true;
  }
  std::string optionFileError;
  settings.optionFile = OptionTextFile(optionText.text, optionFileError);
  if (settings.optionFile.empty()) {
    Error("cannot hand the option files to the client library: " + optionFileError);
    return kExitOther;
  }
  std::vector<std::string> tlsWarnings;
  const std::string tlsProblem = ResolveTls(settings.tls, optionText.entries, settings.connect, tlsWarnings);
  if (!tlsProblem.empty()) return usageError(tlsProblem);
  // Only VERIFY_IDENTITY without --ssl-ca checks against the system's CAs; the other modes give
  // the CA file or check nothing.
  if (!(settings.connect.sslMode == SslMode::VerifyIdentity && settings.connect.sslCa.empty()))
    platform::SkipSystemCertificates();
  for (const std::string& warning : tlsWarnings) Error("warning: " + warning);

  try {
    if (databases->parsed()) return ListCommand(settings, true);
    if (tables->parsed()) return ListCommand(settings, false);
    if (columns->parsed()) return ColumnsCommand(settings);
    if (generate->parsed()) return GenerateCommand(settings);
    if (exporter->parsed()) return ExportCommand(settings);
  } catch (const std::exception& e) {
    Error(e.what());
    return kExitOther;
  }
  return kExitUsage;
}

}  // namespace kelvane::cli
