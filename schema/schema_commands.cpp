#include "schema/schema_commands.h"

#include "schema/type_map.h"
#include "text/text.h"

namespace kelvane {

bool ListNames(ConnectionHandle connection, bool databases, std::vector<std::string>& names) {
  names.clear();
  if (!(databases ? mysqlShowDatabases(connection) : mysqlShowTables(connection))) return false;
  const RecordSet records = mysqlStoreResult(connection);
  if (records <= 0) return false;  // the server broke off while sending the rows
  const std::uint64_t rows = mysqlRowCount(records);
  names.reserve(rows);
  for (std::uint64_t row = 0; row < rows; ++row) {
    std::string name;
    mysqlReadText(records, 0, name);
    names.push_back(std::move(name));
    mysqlNextRow(records);
  }
  mysqlFreeResult(records);
  return true;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted += '`';
  for (char c : name) {
    if (c == '`') quoted += '`';
    quoted += c;
  }
  quoted += '`';
  return quoted;
}

namespace {

ColumnRead ReadColumnsInto(ConnectionHandle connection, const std::string& tableName,
                           FieldTable& fields, ColumnFactsList* facts,
                           const ColumnReadOptions& options) {
  fields.clear();
  if (facts) facts->clear();
  if (connection <= 0) return ColumnRead::NoConnection;
  if (!options.listed && !mysqlTableExists(connection, tableName)) return ColumnRead::TableNotFound;
  // Only the metadata is wanted: the always-false condition keeps every row on the server,
  // and the quoted name lets reserved words, spaces and backticks through.
  const RecordSet records = mysqlSelect(connection, QuoteIdentifier(tableName), "*", "1=0", "");
  const unsigned count = mysqlFieldCount(records);
  fields.reserve(count + 1);
  if (facts) facts->reserve(count + 1);
  for (unsigned i = 0; i < count; ++i) {
    const int column = static_cast<int>(i);
    std::string name;
    const ColumnTypeCode code = mysqlFieldTypeCode(records, column);
    mysqlFieldName(records, column, name);
    const TypeMapEntry* entry = &TypeMapLookup(code);
    if (options.boolForTinyint1 && mysqlFieldIsOneWideFlag(records, column))
      entry = &kLogicalEntry;
    fields.push_back(FieldRecord{std::move(name), std::string(entry->eplType),
                                 std::string(entry->prefix), std::string(entry->csharpType)});
    if (facts) {
      // The flags come with the same metadata: no statement of their own.
      const FieldKeyFlags flags = mysqlFieldKeyFlags(records, column);
      ColumnFacts& fact = facts->emplace_back();
      fact.primaryKey = flags.primaryKey;
      fact.uniqueKey = flags.uniqueKey;
      fact.notNull = flags.notNull;
      fact.autoIncrement = flags.autoIncrement;
    }
  }
  fields.push_back(StateRecord());
  if (facts) facts->emplace_back();
  mysqlFreeResult(records);
  return records > 0 ? ColumnRead::Ok : ColumnRead::SelectFailed;
}

}  // namespace

ColumnRead ReadColumns(ConnectionHandle connection, const std::string& tableName,
                       FieldTable& fields, const ColumnReadOptions& options) {
  return ReadColumnsInto(connection, tableName, fields, nullptr, options);
}

ColumnRead ReadColumns(ConnectionHandle connection, const std::string& tableName,
                       FieldTable& fields, ColumnFactsList& facts,
                       const ColumnReadOptions& options) {
  return ReadColumnsInto(connection, tableName, fields, &facts, options);
}

bool ReadColumnComments(ConnectionHandle connection, const std::string& tableName,
                        const FieldTable& fields, ColumnFactsList& facts) {
  facts.resize(fields.size());
  for (ColumnFacts& fact : facts) fact.comment.clear();
  const RecordSet records = mysqlShowFullColumns(connection, QuoteIdentifier(tableName));
  if (records <= 0) return false;
  constexpr int kFieldColumn = 0, kCommentColumn = 8;
  const bool shaped = mysqlFieldCount(records) > kCommentColumn;
  const std::uint64_t rows = shaped ? mysqlRowCount(records) : 0;
  // The state record is no column of the table: it never takes a comment.
  const std::size_t columns = fields.empty() ? 0 : fields.size() - 1;
  for (std::uint64_t row = 0; row < rows; ++row) {
    std::string name, comment;
    mysqlReadText(records, kFieldColumn, name);
    mysqlReadText(records, kCommentColumn, comment);
    mysqlNextRow(records);
    // By name: the listing may leave out columns the user has no privilege on.
    for (std::size_t i = 0; i < columns; ++i)
      if (fields[i].columnName == name && facts[i].comment.empty()) {
        facts[i].comment = std::move(comment);
        break;
      }
  }
  mysqlFreeResult(records);
  return shaped;
}

namespace {

// The window's connections: TCP to the host and port typed (also for "localhost"), encrypted
// whenever the server offers TLS; an empty password box is the empty password.
ConnectionHandle WindowConnect(const ConnectInput& input, const std::string& database,
                               unsigned port) {
  ConnectOptions options;
  options.tcp = true;
  options.passwordGiven = true;
  // No setting for a pinned key: the server's own key carries the password where TLS is missing
  // (no eavesdropper reads it; a man in the middle could).
  options.getServerPublicKey = true;
  return mysqlConnect(input.host, Trim(input.user), Trim(input.password), database, port, options);
}

}  // namespace

ConnectServerResult ConnectServer(SchemaSession& session, const ConnectInput& input,
                                  unsigned port) {
  ConnectServerResult result;
  session.Replace(WindowConnect(input, "", port));
  result.connected = session.handle() > 0;
  if (!result.connected) return result;
  result.showTablesPage = ListNames(session.handle(), true, result.databases);
  std::erase(result.databases, std::string());
  return result;
}

ChooseDatabaseResult ChooseDatabase(SchemaSession& session, const ConnectInput& input,
                                    const std::string& database, unsigned port) {
  ChooseDatabaseResult result;
  session.Replace(WindowConnect(input, database, port));
  result.connected = session.handle() > 0;
  ListNames(session.handle(), false, result.tables);
  std::erase(result.tables, std::string());
  return result;
}

namespace {

std::vector<std::string> ColumnListLines(const FieldTable& fields) {
  std::vector<std::string> lines;
  lines.reserve(fields.size());
  for (const FieldRecord& field : fields)
    if (!field.columnName.empty()) lines.push_back(field.columnName + "|" + field.eplType);
  return lines;
}

}  // namespace

std::vector<std::string> ChooseTable(const SchemaSession& session, const std::string& tableName,
                                     FieldTable& fields, const ColumnReadOptions& options) {
  ReadColumns(session.handle(), tableName, fields, options);
  return ColumnListLines(fields);
}

std::vector<std::string> ChooseTable(const SchemaSession& session, const std::string& tableName,
                                     FieldTable& fields, ColumnFactsList& facts,
                                     const ColumnReadOptions& options) {
  ReadColumns(session.handle(), tableName, fields, facts, options);
  return ColumnListLines(fields);
}

}  // namespace kelvane
