#pragma once
// The five source-text builders. Each is pure: table name and FieldTable in, UTF-8 text out,
// every line ended by CR LF.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "schema/field_table.h"

namespace kelvane {

// What a text may carry beyond the window's defaults. The defaults give every text exactly as
// the window writes it.
struct TextOptions {
  // The set class's record key, by FieldTable position (0 = the first column, the default);
  // every place the set class names the key uses it. A position past the table's columns
  // counts as 0.
  std::size_t keyPosition = 0;
  // The C# list class's 删除, 修改 and 提取 compare the key column above (its property, with
  // an argument of its C# type) instead of the property id with an int argument. Off by
  // default: the text then compares id whether the table has such a column or not.
  bool keyInCSharpList = false;
  // Column comments, one per FieldTable entry (a missing or empty one gives nothing): the
  // remark field at the end of the 易语言 member, variable and accessor lines, and a
  // <summary> comment above each C# property. Written on one line (see OneLineRemark).
  std::vector<std::string> comments;
};

// The comments of facts, for TextOptions::comments.
std::vector<std::string> CommentsOf(const ColumnFactsList& facts);

// A comment as one line of remark: each run of control characters (C0, DEL, C1, U+2028,
// U+2029; line breaks and tabs among them) becomes one space, and spaces at either end go.
std::string OneLineRemark(std::string_view comment);

std::string BuildCustomTypeText(const std::string& tableName, const FieldTable& fields,
                                const TextOptions& options = {});
std::string BuildClassModuleText(const std::string& tableName, const FieldTable& fields,
                                 const TextOptions& options = {});
std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields,
                              const TextOptions& options = {});
std::string BuildCSharpEntityText(const std::string& tableName, const FieldTable& fields,
                                  const TextOptions& options = {});
std::string BuildCSharpOperationText();

// The sections of the set class, appended in this order by BuildSetClassText.
void AppendSetClassHeader(std::string& out, const std::string& tableName, const FieldTable& fields);
void AppendLocalArraySubs(std::string& out, const std::string& tableName, const FieldTable& fields,
                          const TextOptions& options = {});
void AppendDbWriteSubs(std::string& out, const std::string& tableName, const FieldTable& fields,
                       const TextOptions& options = {});
void AppendDbReadSubs(std::string& out, const std::string& tableName, const FieldTable& fields,
                      const TextOptions& options = {});
void AppendControlBindingSubs(std::string& out, const std::string& tableName,
                              const FieldTable& fields, const TextOptions& options = {});
void AppendJsonSubs(std::string& out, const std::string& tableName, const FieldTable& fields,
                    const TextOptions& options = {});

// The five panes in the order the generate command fills them.
enum class Pane { CustomType, ClassModule, SetClass, CSharpEntity, CSharpOperation };
inline constexpr Pane kAllPanes[] = {Pane::CustomType, Pane::ClassModule, Pane::SetClass,
                                     Pane::CSharpEntity, Pane::CSharpOperation};

// One shared road from pane to text, used by the window and the command line alike.
std::string BuildPaneText(Pane pane, const std::string& tableName, const FieldTable& fields,
                          const TextOptions& options = {});

}  // namespace kelvane
