#include "cli/table_export.h"

#include "cli/safe_names.h"
#include "text/text.h"

namespace kelvane::cli {

namespace {

constexpr const char* kNoConverterText = "this system has no GBK converter (iconv cannot open GBK); use --encoding utf-8";

std::string CharacterPart(const GbkConversion& conversion) {
  if (conversion.badCodePoint.empty())
    return "bytes that are not UTF-8 (" + Printable(conversion.badCharacter) + ")";
  return "the character '" + conversion.badCharacter + "' (" + conversion.badCodePoint + ")";
}

}  // namespace

std::string_view EncodingName(Encoding encoding) {
  return encoding == Encoding::Gbk ? "GBK" : "UTF-8";
}

bool Encode(std::string_view utf8, Encoding encoding, std::string& bytes, std::string& problem,
            GbkConverter convert) {
  if (encoding == Encoding::Utf8) {
    bytes.assign(utf8);
    return true;
  }
  GbkConversion conversion = convert(utf8);
  if (!conversion.ok) {
    problem = conversion.noConverter ? kNoConverterText : "GBK cannot hold " + CharacterPart(conversion);
    return false;
  }
  bytes = std::move(conversion.bytes);
  return true;
}

std::string GbkNameProblem(const std::string& table, const FieldTable& fields, GbkConverter convert) {
  const std::string way = "; use --encoding utf-8";
  const std::string where = "table \"" + Printable(table) + "\"";
  const GbkConversion tableName = convert(table);
  if (tableName.noConverter) return kNoConverterText;
  if (!tableName.ok)
    return where + ": GBK cannot hold " + CharacterPart(tableName) + " of the table name" + way;
  for (const FieldRecord& field : fields) {
    const GbkConversion column = convert(field.columnName);
    if (column.noConverter) return kNoConverterText;
    if (!column.ok)
      return where + ", column \"" + Printable(field.columnName) + "\": GBK cannot hold " +
             CharacterPart(column) + way;
  }
  return {};
}

std::string PaneFileName(Pane pane, const std::string& folder) {
  switch (pane) {
    case Pane::CustomType:
      return "custom_type.txt";
    case Pane::ClassModule:
      return "class_module.txt";
    case Pane::SetClass:
      return "set_class.txt";
    case Pane::CSharpEntity:
      return EntityFileName(folder);
    case Pane::CSharpOperation:
      return "Star.cs";
  }
  return {};
}

bool BuildTableFiles(const std::string& table, const std::string& folder, const FieldTable& fields,
                     const TextOptions& options, Encoding encoding, std::vector<OutputFile>& files,
                     std::string& error, GbkConverter convert) {
  files.clear();
  if (encoding == Encoding::Gbk) {
    error = GbkNameProblem(table, fields, convert);
    if (!error.empty()) return false;
  }
  for (Pane pane : kAllPanes) {
    OutputFile file{PaneFileName(pane, folder), {}};
    std::string problem;
    if (!Encode(BuildPaneText(pane, table, fields, options), encoding, file.bytes, problem, convert)) {
      // The names were checked above; this only guards the generators' own words.
      error = "table \"" + Printable(table) + "\", file " + file.name + ": " + problem +
              (problem == kNoConverterText ? "" : "; use --encoding utf-8");
      files.clear();
      return false;
    }
    files.push_back(std::move(file));
  }
  return true;
}

}  // namespace kelvane::cli
