#pragma once
#include <string>

namespace kelvane {

// The fixed text of the About page (UTF-8, lines joined by CR LF).
const std::string& AboutText();

}  // namespace kelvane
