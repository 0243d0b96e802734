#include "text/caseless.h"

#include <algorithm>
#include <vector>

#include "text/caseless_tables.h"
#include "text/utf8.h"

namespace kelvane {

namespace {

namespace t = caseless_tables;

// A byte that is not part of valid UTF-8, kept apart from every code point.
constexpr char32_t kRawByte = 0x80000000;

// Hangul syllables decompose by formula.
constexpr char32_t kSBase = 0xAC00, kLBase = 0x1100, kVBase = 0x1161, kTBase = 0x11A7;
constexpr char32_t kVCount = 21, kTCount = 28, kNCount = kVCount * kTCount, kSCount = 19 * kNCount;

void AppendDecomposed(std::vector<char32_t>& out, char32_t c) {
  if (c >= kSBase && c < kSBase + kSCount) {
    const char32_t s = c - kSBase;
    out.push_back(kLBase + s / kNCount);
    out.push_back(kVBase + (s % kNCount) / kTCount);
    if (s % kTCount != 0) out.push_back(kTBase + s % kTCount);
    return;
  }
  const t::Decomposition* end = t::kDecompositions + t::kDecompositionCount;
  const t::Decomposition* d = std::lower_bound(
      t::kDecompositions, end, c, [](const t::Decomposition& e, char32_t p) { return e.point < p; });
  if (d == end || d->point != c) {
    out.push_back(c);
    return;
  }
  out.insert(out.end(), t::kDecompositionPool + d->start, t::kDecompositionPool + d->start + d->length);
}

unsigned CombiningClass(char32_t c) {
  const t::CombiningRun* end = t::kCombiningRuns + t::kCombiningRunCount;
  const t::CombiningRun* run = std::upper_bound(
      t::kCombiningRuns, end, c, [](char32_t p, const t::CombiningRun& r) { return p < r.first; });
  if (run == t::kCombiningRuns) return 0;
  --run;
  return c <= run->last ? run->combiningClass : 0;
}

char32_t SimpleFold(char32_t c) {
  const t::Folding* end = t::kFoldings + t::kFoldingCount;
  const t::Folding* f = std::lower_bound(t::kFoldings, end, c,
                                         [](const t::Folding& e, char32_t p) { return e.from < p; });
  return f != end && f->from == c ? f->to : c;
}

// Full canonical decomposition with the marks of each run put in canonical order.
std::vector<char32_t> Decompose(const std::vector<char32_t>& points) {
  std::vector<char32_t> out;
  out.reserve(points.size());
  for (char32_t c : points) {
    if (c & kRawByte) out.push_back(c);
    else AppendDecomposed(out, c);
  }
  const auto classOf = [](char32_t c) { return c & kRawByte ? 0u : CombiningClass(c); };
  for (std::size_t i = 0; i < out.size();) {
    if (classOf(out[i]) == 0) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < out.size() && classOf(out[j]) != 0) ++j;
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(j),
                     [&](char32_t a, char32_t b) { return classOf(a) < classOf(b); });
    i = j;
  }
  return out;
}

}  // namespace

std::string CaselessKey(std::string_view name) {
  std::vector<char32_t> points;
  points.reserve(name.size());
  bool plainAscii = true;
  for (std::size_t at = 0; at < name.size();) {
    const utf8::CodePoint c = utf8::DecodeAt(name, at);
    if (c.valid) {
      points.push_back(c.value);
      plainAscii = plainAscii && c.value < 0x80;
    } else {
      for (std::size_t i = 0; i < c.length; ++i)
        points.push_back(kRawByte | static_cast<unsigned char>(name[at + i]));
      plainAscii = false;
    }
    at += c.length;
  }
  std::string key;
  key.reserve(name.size());
  if (plainAscii) {
    for (char c : name) key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return key;
  }
  std::vector<char32_t> folded = Decompose(points);
  for (char32_t& c : folded)
    if (!(c & kRawByte)) c = SimpleFold(c);
  for (char32_t c : Decompose(folded)) {
    if (c & kRawByte) key += static_cast<char>(c & 0xFF);
    else utf8::Append(key, c);
  }
  return key;
}

}  // namespace kelvane
