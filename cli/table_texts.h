#pragma once
// What generate and export check before a table's texts are built: the names, and the options
// the texts are built with (--key, --comments) with the key warning.
#include <functional>
#include <string>
#include <vector>

#include "cli/folder_write.h"
#include "cli/safe_names.h"
#include "cli/settings.h"
#include "cli/table_export.h"
#include "generators/generators.h"
#include "schema/csharp_check.h"
#include "schema/field_table.h"
#include "schema/schema_commands.h"

namespace kelvane::cli {

// Runs before the first warning is printed (the export clears its progress line).
using BeforeWarning = std::function<void()>;

// Refuses names with control characters (exit code, `message` set) and warns about names that
// are not identifiers.
int CheckNames(const std::string& table, const FieldTable& fields, std::string& message,
               const BeforeWarning& beforeWarning);

// The options of a table's texts: the key column --key chose (for the set class and the C#
// list class) and the comments read. On a --key that names nothing usable returns kExitUsage
// with `message` set. Otherwise prints the warning when the key column does not tell the rows
// apart and, when `csharpEntity` (the C# entity text is among those written), one warning per
// reason that text will not compile.
int TextOptionsFor(const Settings& settings, const std::string& table, const FieldTable& fields,
                   const ColumnFactsList& facts, bool csharpEntity, TextOptions& options,
                   std::string& message, const BeforeWarning& beforeWarning);

// The warnings for the reasons a C# entity text will not compile (schema/csharp_check.h), one
// per reason, without the keywords, which the identifier warnings already name.
std::vector<std::string> CSharpWarnings(const std::string& table, const FieldTable& fields,
                                        const std::vector<CSharpReason>& reasons);

// The lines 'table "NAME" -> folder FOLDER' of the tables whose folder name is not their own.
std::string FolderMapping(const std::vector<FolderName>& folders);

// "1 table", "12 tables".
std::string TableCount(std::size_t n);

// The files of one table of an export: its columns read, its names checked, its options taken
// (with their warnings) and its texts encoded. On failure returns the exit code with `error`
// set; `serverGone` as for ReadTable.
int TableFiles(ConnectionHandle connection, const Settings& settings, const FolderName& entry, Encoding encoding,
               std::vector<OutputFile>& files, std::string& error, bool& serverGone,
               const BeforeWarning& beforeWarning);

}  // namespace kelvane::cli
