#pragma once
// Appending helpers shared by the set-class sections: every piece goes straight onto the
// growing text through its TextWriter, no temporaries and no streams.
#include "generators/text_writer.h"

namespace kelvane::setclass {

// Appends the pieces in order.
template <typename... Pieces>
inline void Put(TextWriter& out, const Pieces&... pieces) {
  out.Put(pieces...);
}

// Appends the pieces in order, then the line end.
template <typename... Pieces>
inline void Line(TextWriter& out, const Pieces&... pieces) {
  out.Line(pieces...);
}

}  // namespace kelvane::setclass
