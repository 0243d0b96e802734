#include "cli/settings.h"

namespace kelvane::cli {

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

Encoding ChosenEncoding(const Settings& settings, Encoding fallback) {
  if (settings.encoding.empty()) return fallback;
  return settings.encoding == "gbk" ? Encoding::Gbk : Encoding::Utf8;
}

}  // namespace kelvane::cli
