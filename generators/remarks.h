#pragma once
// Column comments as they go into the texts.
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"

namespace kelvane {

// The one-line remark of FieldTable entry `index`; empty when it has none.
inline std::string RemarkAt(const TextOptions& options, std::size_t index) {
  if (index >= options.comments.size()) return {};
  return OneLineRemark(options.comments[index]);
}

// Text for an XML documentation comment: &, < and > as entities.
std::string XmlText(std::string_view text);

}  // namespace kelvane
