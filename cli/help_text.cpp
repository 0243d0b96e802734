#include "cli/help_text.h"

namespace kelvane::cli {

const char* HelpFooter() {
  return R"(Commands:
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
  export ... --check             writes and removes nothing; prints each table whose files the
                                 export would add, change or remove (exit code 8 when any)

PANE is one of custom-type, class-module, set-class, csharp-entity, csharp-operation.

Listings print each name on one line: a backslash as \\, C0 controls and DEL as \xHH, C1
  controls, U+2028 and U+2029 as \uHHHH, and in columns a | inside a name as \|.

Connection: -h/--host (default 127.0.0.1), -P/--port (default 3306), -u/--user (default root).
  --password=PW or -pPW gives the password (--password= gives the empty one); -p or --password
  alone asks for it without echo (an empty line is the empty password) and the word after it is
  never taken as the password. The last of them counts. The password is overwritten with x in
  the process list (on Windows in the command line the process holds, which other processes
  read; a log of started processes may have kept it, so prefer -p or an option file there, and
  a warning says when it cannot be overwritten). With none of them, the password comes from the [client] or [kelvane-gen]
  group of the MySQL option files (/etc/my.cnf, /etc/mysql/my.cnf, $MARIADB_HOME or
  $MYSQL_HOME/my.cnf, ~/.my.cnf), else from the MYSQL_PWD environment variable. A
  world-writable option file is ignored with a warning, as the MySQL client does, and so is one
  that is not a regular file or is larger than 1 MiB; includes go at most 16 deep, each file
  is read once however many names lead to it, and 4 MiB together at most. A file that starts
  with a UTF-8 byte-order mark is refused by name (exit code 1), as the client refuses it.
  Values read as the client reads them: a # outside quotes starts a comment, spaces around the
  value and one pair of quotes go, and \n \t \r \b \s \" \' \\ are escapes. A file's
  password goes straight to the login and is never
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
  (mysql_clear_password, dialog) are refused. Without TLS, a password the server asks for
  whole (caching_sha2_password's full login, sha256_password) goes only encrypted with the
  server's RSA key: pinned with --server-public-key-path=FILE, or as the server sends it with
  --get-server-public-key (a man in the middle can send his own key and read the password);
  with neither, the login is refused before the password leaves. --verbose says on standard
  error how the connection is encrypted (TLS version and cipher).

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
  column, that is a usage error (exit code 1; export writes nothing for that table). --key also
  makes the C# list class's 删除, 修改 and 提取 compare that column (its property, with an
  argument of its C# type) instead of id. Nothing else in the texts changes.

C#: when a table's C# entity text will not compile as generated (no column id, or an id whose
  C# type cannot be compared with int; a column X beside the state column X; a column named
  like the table), generate --pane csharp-entity and export warn on standard error, one line
  per reason, saying where --key fixes it; the texts stay as they are.

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
  --force is given (folders, links and a file at the manifest's name that is no manifest are
  never replaced). Only files at the five names count as the export's, whatever a manifest
  lists; other files in the folder are left alone. A new folder, or one holding only the
  previous export, is put in place whole in one step. --out may name a link to a folder; links
  inside it are never followed. Work folders (.kelvane-gen-PID-XXXXXX) left by a stopped export
  are removed whole by the next one into the same folder, half-written files included; a file
  of a name no export writes is kept and named. Progress ("[12/340] orders") goes to standard
  error when it is a terminal; a summary line ends the output. export --check builds the same
  texts with the same options, compares them with DIR's files and writes and removes nothing (no
  work folder, no lock, DIR not made); it prints one line per table whose files would be added,
  changed or removed, says so when DIR holds no export, and exits 0 when nothing would change.

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
  8 export --check: an export would add, change or remove files
)";
}

}  // namespace kelvane::cli
