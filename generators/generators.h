#pragma once
// The five source-text builders. Each is pure: table name and FieldTable in, UTF-8 text out,
// every line ended by CR LF.
#include <string>

#include "schema/field_table.h"

namespace kelvane {

std::string BuildCustomTypeText(const std::string& tableName, const FieldTable& fields);
std::string BuildClassModuleText(const std::string& tableName, const FieldTable& fields);
std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields);
std::string BuildCSharpEntityText(const std::string& tableName, const FieldTable& fields);
std::string BuildCSharpOperationText();

// The sections of the set class, appended in this order by BuildSetClassText.
void AppendSetClassHeader(std::string& out, const std::string& tableName, const FieldTable& fields);
void AppendLocalArraySubs(std::string& out, const std::string& tableName, const FieldTable& fields);
void AppendDbWriteSubs(std::string& out, const std::string& tableName, const FieldTable& fields);
void AppendDbReadSubs(std::string& out, const std::string& tableName, const FieldTable& fields);
void AppendControlBindingSubs(std::string& out, const std::string& tableName,
                              const FieldTable& fields);
void AppendJsonSubs(std::string& out, const std::string& tableName, const FieldTable& fields);

// The five panes in the order the generate command fills them.
enum class Pane { CustomType, ClassModule, SetClass, CSharpEntity, CSharpOperation };
inline constexpr Pane kAllPanes[] = {Pane::CustomType, Pane::ClassModule, Pane::SetClass,
                                     Pane::CSharpEntity, Pane::CSharpOperation};

// One shared road from pane to text, used by the window and the command line alike.
std::string BuildPaneText(Pane pane, const std::string& tableName, const FieldTable& fields);

}  // namespace kelvane
