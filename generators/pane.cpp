#include "generators/generators.h"

namespace kelvane {

std::string BuildPaneText(Pane pane, const std::string& tableName, const FieldTable& fields) {
  switch (pane) {
    case Pane::CustomType:
      return BuildCustomTypeText(tableName, fields);
    case Pane::ClassModule:
      return BuildClassModuleText(tableName, fields);
    case Pane::SetClass:
      return BuildSetClassText(tableName, fields);
    case Pane::CSharpEntity:
      return BuildCSharpEntityText(tableName, fields);
    case Pane::CSharpOperation:
      return BuildCSharpOperationText();
  }
  return {};
}

}  // namespace kelvane
