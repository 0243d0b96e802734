#include "generators/generators.h"

namespace kelvane {

std::string BuildPaneText(Pane pane, const std::string& tableName, const FieldTable& fields,
                          const TextOptions& options) {
  switch (pane) {
    case Pane::CustomType:
      return BuildCustomTypeText(tableName, fields, options);
    case Pane::ClassModule:
      return BuildClassModuleText(tableName, fields, options);
    case Pane::SetClass:
      return BuildSetClassText(tableName, fields, options);
    case Pane::CSharpEntity:
      return BuildCSharpEntityText(tableName, fields, options);
    case Pane::CSharpOperation:
      return BuildCSharpOperationText();
  }
  return {};
}

}  // namespace kelvane
