#pragma once
// Comparing names the way case-insensitive and normalising file systems do.
#include <string>
#include <string_view>

namespace kelvane {

// The key under which two names are the same for a canonical caseless match: the canonical
// decomposition (with canonical ordering) of the simple case folding of the canonical
// decomposition of the name. "É", "é" and "e" + U+0301 share one key, as do "ǅ" and "ǆ" and the
// Greek final sigma and sigma; "İ" and "i" do not (that folding is Turkic or full only), nor do
// "ß" and "ss". Bytes that are not UTF-8 stay in the key as they are.
std::string CaselessKey(std::string_view name);

}  // namespace kelvane
