#pragma once
// Appending helper shared by the set-class sections: every piece goes straight onto the
// growing text, no temporaries and no streams.
#include <string>
#include <string_view>

namespace kelvane::setclass {

// Appends the pieces in order.
template <typename... Pieces>
inline void Put(std::string& out, const Pieces&... pieces) {
  (out.append(std::string_view(pieces)), ...);
}

// Appends the pieces in order, then the line end.
template <typename... Pieces>
inline void Line(std::string& out, const Pieces&... pieces) {
  (out.append(std::string_view(pieces)), ...);
  out.append("\r\n", 2);
}

}  // namespace kelvane::setclass
