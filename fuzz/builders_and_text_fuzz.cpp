// Fuzz target over the five builders and the text helpers.
//
// The first input byte picks the road:
//   even: a random FieldTable (random UTF-8 names, prefixes, 易语言 and C# types, with or without
//         the state record) and a random table name through every builder;
//   1 mod 4: the remaining bytes through Trim, ToCrlf, Utf8ToGbk, GbkToUtf8, the UTF-8 decoder
//         and CaselessKey;
//   3 mod 4: the remaining bytes as a server's greeting (ReadGreeting): a decision, once made,
//         never changes with bytes that follow, and never depends on bytes past the packet.
// A broken property prints what broke and aborts, which libFuzzer reports as a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "generators/generators.h"
#include "schema/csharp_check.h"
#include "schema/field_table.h"
#include "schema/greeting.h"
#include "text/caseless.h"
#include "text/text.h"
#include "text/utf8.h"

namespace {

using kelvane::FieldRecord;
using kelvane::FieldTable;
using kelvane::Pane;

void PrintBytes(const char* label, std::string_view bytes) {
  std::fprintf(stderr, "  %s (%zu bytes):", label, bytes.size());
  const std::size_t shown = bytes.size() < 256 ? bytes.size() : 256;
  for (std::size_t i = 0; i < shown; ++i)
    std::fprintf(stderr, " %02X", static_cast<unsigned char>(bytes[i]));
  std::fprintf(stderr, shown < bytes.size() ? " ...\n" : "\n");
}

[[noreturn]] void Fail(const char* what, std::string_view input = {}, std::string_view output = {}) {
  std::fprintf(stderr, "\nproperty broken: %s\n", what);
  if (!input.empty()) PrintBytes("input", input);
  if (!output.empty()) PrintBytes("output", output);
  std::abort();
}

void Check(bool holds, const char* what, std::string_view input = {},
           std::string_view output = {}) {
  if (!holds) Fail(what, input, output);
}

// ---------------------------------------------------------------------------------------------
// Random names.

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t AnyScalar(FuzzedDataProvider& in, char32_t low, char32_t high) {
  char32_t cp = in.ConsumeIntegralInRange<char32_t>(low, high);
  if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x800;  // no surrogates
  return cp;
}

// Mostly well-formed UTF-8 with the characters names really carry (letters, CJK, quotes,
// backticks, spaces, full-width punctuation), plus control characters, line breaks, 4-byte
// characters and now and then a stray byte.
std::string RandomName(FuzzedDataProvider& in, std::size_t maxChars) {
  static constexpr std::string_view kWord =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$";
  static constexpr std::string_view kPunctuation = " `'\"%\\,.;()[]{}|=-+*/<>!?#&@~^:";
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, maxChars);
  std::string name;
  for (std::size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
      case 0:
      case 1:
        name += kWord[in.ConsumeIntegralInRange<std::size_t>(0, kWord.size() - 1)];
        break;
      case 2:
        name += kPunctuation[in.ConsumeIntegralInRange<std::size_t>(0, kPunctuation.size() - 1)];
        break;
      case 3:
        AppendUtf8(name, AnyScalar(in, 0x4E00, 0x9FFF));  // CJK ideographs
        break;
      case 4:
        AppendUtf8(name, AnyScalar(in, 0x3000, 0x303F));  // CJK punctuation, U+3000 space
        break;
      case 5:
        AppendUtf8(name, AnyScalar(in, 0xFF00, 0xFFEF));  // full-width forms
        break;
      case 6:
        AppendUtf8(name, AnyScalar(in, 0x80, 0x10FFFF));
        break;
      case 7:
        AppendUtf8(name, AnyScalar(in, 0x10000, 0x10FFFF));
        break;
      case 8:
        name += static_cast<char>(in.ConsumeIntegralInRange<int>(0, 31));  // CR, LF, TAB, NUL...
        break;
      default:
        name += static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
        break;
    }
  }
  return name;
}

constexpr std::array<std::string_view, 7> kPrefixes = {"Jx", "Jb", "Jl", "Jz", "Jw", "Jr", "Jj"};
constexpr std::array<std::string_view, 11> kEplTypes = {
    "整数型", "文本型", "小数型", "双精度小数型", "日期时间型", "逻辑型",
    "字节集", "长整数型", "短整数型", "字节型", "通用型"};
constexpr std::array<std::string_view, 11> kCSharpTypes = {
    "int", "string", "String", "float", "double", "decimal", "DateTime", "bool", "byte", "long",
    "byte[]"};

template <std::size_t N>
std::string OneOfOrRandom(FuzzedDataProvider& in, const std::array<std::string_view, N>& known,
                          std::size_t maxRandomChars) {
  const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, N + 1);
  if (pick < N) return std::string(known[pick]);
  if (pick == N) return {};
  return RandomName(in, maxRandomChars);
}

// ---------------------------------------------------------------------------------------------
// Builders.

bool HasLf(std::string_view text) { return text.find('\n') != std::string_view::npos; }

bool EndsWithCrlf(std::string_view text) {
  return text.size() >= 2 && text.substr(text.size() - 2) == kelvane::kCrlf;
}

bool EveryLfAfterCr(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  return true;
}

bool KnownPrefix(const std::string& prefix) {
  for (std::string_view known : kPrefixes)
    if (prefix == known) return true;
  return false;
}

// Lines of each text for a FieldTable of m entries. With the state record at the end
// (m = columns + 1) and known prefixes these are columns + 3, 8 * columns + 15,
// 317 + 12 * columns, columns + 116 and 27. The set class is emitted whole even for an empty
// FieldTable (316 lines); a column record (any entry but the last) whose prefix is none of the
// seven gets no line in each of the three record-set readers.
std::array<std::size_t, 5> ExpectedLines(const FieldTable& fields) {
  const std::size_t m = fields.size();
  std::size_t unknownPrefixes = 0;
  for (std::size_t i = 0; i + 1 < m; ++i) unknownPrefixes += KnownPrefix(fields[i].prefix) ? 0 : 1;
  return {2 + m, 7 + 8 * m, m == 0 ? 316 : 305 + 12 * m - 3 * unknownPrefixes, 115 + m, 27};
}

// Every piece must appear in text, in order.
bool ContainsInOrder(std::string_view text, const std::vector<std::string>& pieces) {
  std::size_t at = 0;
  for (const std::string& piece : pieces) {
    const std::size_t hit = text.find(piece, at);
    if (hit == std::string_view::npos) return false;
    at = hit + piece.size();
  }
  return true;
}

void CheckBuilders(const std::string& table, const FieldTable& fields) {
  bool inputHasLf = HasLf(table);
  for (const FieldRecord& f : fields)
    inputHasLf = inputHasLf || HasLf(f.columnName) || HasLf(f.eplType) || HasLf(f.prefix) ||
                 HasLf(f.csharpType);
  const std::array<std::size_t, 5> expected = ExpectedLines(fields);

  std::array<std::string, 5> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string text = kelvane::BuildPaneText(kelvane::kAllPanes[i], table, fields);
    Check(EndsWithCrlf(text), "builder output ends with CR LF", table, text);
    const std::size_t lines = kelvane::CountCrlfLines(text);
    if (inputHasLf) {
      // A line break inside a name adds lines; none may go missing.
      Check(lines >= expected[i], "builder line count (names with line breaks)", table, text);
    } else {
      if (lines != expected[i]) {
        std::fprintf(stderr, "\npane %zu: %zu lines for %zu entries, expected %zu\n", i, lines,
                     fields.size(), expected[i]);
        Fail("builder line count", table, text);
      }
      Check(EveryLfAfterCr(text), "every line of builder output ends with CR LF", table, text);
    }
    texts[i] = text;
  }

  Check(texts[4] == kelvane::BuildCSharpOperationText(), "C# operation text is fixed");

  // The set class is its sections in order.
  std::string sections = ".版本 2\r\n\r\n";
  kelvane::AppendSetClassHeader(sections, table, fields);
  kelvane::AppendLocalArraySubs(sections, table, fields);
  kelvane::AppendDbWriteSubs(sections, table, fields);
  kelvane::AppendDbReadSubs(sections, table, fields);
  kelvane::AppendControlBindingSubs(sections, table, fields);
  kelvane::AppendJsonSubs(sections, table, fields);
  Check(sections == texts[2], "set class equals its sections in order", table, texts[2]);

  // Names and types are carried unchanged, one member / property per entry, in order.
  std::vector<std::string> members{".数据类型 " + table + "\r\n"};
  std::vector<std::string> properties{"  public class " + table + "{\r\n"};
  for (const FieldRecord& f : fields) {
    members.push_back("    .成员 " + f.columnName + "," + f.eplType + "\r\n");
    properties.push_back("    public " + f.csharpType + " " + f.columnName + "{get;set;}\r\n");
  }
  Check(ContainsInOrder(texts[0], members), "custom type carries every name and type", table,
        texts[0]);
  Check(ContainsInOrder(texts[3], properties), "C# entity carries every name and type", table,
        texts[3]);
}

// A key column and comments never take a line away, and never break one: a remark stays on one
// line (the C# entity puts it on summary lines of its own), the key is one of the table's names.
void CheckOptions(const std::string& table, const FieldTable& fields, const kelvane::TextOptions& options) {
  bool namesHaveLf = HasLf(table);
  for (const FieldRecord& f : fields)
    namesHaveLf = namesHaveLf || HasLf(f.columnName) || HasLf(f.eplType) || HasLf(f.prefix) || HasLf(f.csharpType);
  for (Pane pane : kelvane::kAllPanes) {
    const std::string text = kelvane::BuildPaneText(pane, table, fields, options);
    Check(EndsWithCrlf(text), "builder output with options ends with CR LF", table, text);
    Check(kelvane::CountCrlfLines(text) >= kelvane::CountCrlfLines(kelvane::BuildPaneText(pane, table, fields)),
          "options take no line away", table, text);
    if (!namesHaveLf) Check(EveryLfAfterCr(text), "every line with options ends with CR LF", table, text);
  }
}

// The C# list class compares the key column at any position (one past the columns, or far past,
// counts as the first entry): the text keeps its lines, and the C# check's reasons point at
// entries that exist.
void CheckCSharpKey(const std::string& table, const FieldTable& fields, std::size_t key) {
  kelvane::TextOptions keyed;
  keyed.keyPosition = key;
  keyed.keyInCSharpList = true;
  const std::string text = kelvane::BuildCSharpEntityText(table, fields, keyed);
  bool namesHaveLf = HasLf(table);
  for (const FieldRecord& f : fields) namesHaveLf = namesHaveLf || HasLf(f.columnName) || HasLf(f.csharpType);
  Check(EndsWithCrlf(text), "keyed C# entity text ends with CR LF", table, text);
  if (!namesHaveLf)
    Check(kelvane::CountCrlfLines(text) == fields.size() + 115, "keyed C# entity line count", table, text);
  for (const kelvane::CSharpReason& reason : kelvane::CSharpEntityProblems(table, fields, {}, key))
    Check((reason.column == kelvane::kNoColumn || reason.column < fields.size()) &&
              (reason.fixColumn == kelvane::kNoColumn || reason.fixColumn < fields.size()),
          "C# check points at existing entries", table);
}

void FuzzBuilders(FuzzedDataProvider& in) {
  const std::string table = RandomName(in, 24);
  const std::size_t columns = in.ConsumeIntegralInRange<std::size_t>(0, 48);
  FieldTable fields;
  fields.reserve(columns + 1);
  for (std::size_t i = 0; i < columns && in.remaining_bytes() > 0; ++i) {
    FieldRecord record;
    record.columnName = RandomName(in, 20);
    record.prefix = OneOfOrRandom(in, kPrefixes, 3);
    record.eplType = OneOfOrRandom(in, kEplTypes, 6);
    record.csharpType = OneOfOrRandom(in, kCSharpTypes, 8);
    fields.push_back(std::move(record));
  }
  // Tables read from the server always end with the state record; arbitrary tables need not.
  if (in.ConsumeBool()) fields.push_back(kelvane::StateRecord());
  // The text options of --key and --comments: any key position (past the columns and the
  // "no column" value included) and random comments, some of them missing.
  kelvane::TextOptions options;
  const std::size_t keyPositions[] = {0, fields.size() / 2, fields.size(), SIZE_MAX};
  options.keyPosition = in.ConsumeBool() ? in.ConsumeIntegral<std::size_t>()
                                         : keyPositions[in.ConsumeIntegralInRange<std::size_t>(0, 3)];
  const std::size_t comments = in.ConsumeIntegralInRange<std::size_t>(0, fields.size() + 1);
  for (std::size_t i = 0; i < comments && in.remaining_bytes() > 0; ++i)
    options.comments.push_back(RandomName(in, 12));
  CheckBuilders(table, fields);
  CheckOptions(table, fields, options);
  CheckCSharpKey(table, fields, in.ConsumeBool() ? in.ConsumeIntegral<std::size_t>()
                                                 : in.ConsumeIntegralInRange<std::size_t>(0, fields.size()));
}

// ---------------------------------------------------------------------------------------------
// Text helpers.

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";

bool StartsWithSpace(std::string_view s) {
  return (!s.empty() && s.front() == ' ') || s.substr(0, 3) == kFullWidthSpace;
}

bool EndsWithSpace(std::string_view s) {
  return (!s.empty() && s.back() == ' ') ||
         (s.size() >= 3 && s.substr(s.size() - 3) == kFullWidthSpace);
}

// True when s is nothing but ASCII and full-width spaces.
bool OnlySpaces(std::string_view s) {
  while (!s.empty()) {
    if (s.front() == ' ') s.remove_prefix(1);
    else if (s.substr(0, 3) == kFullWidthSpace) s.remove_prefix(3);
    else return false;
  }
  return true;
}

std::string WithoutBreaks(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

// Line breaks of any kind: CR LF, a lone CR or a lone LF each count once.
std::size_t CountBreaks(std::string_view s) {
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      ++breaks;
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (s[i] == '\n') {
      ++breaks;
    }
  }
  return breaks;
}

void CheckTrim(std::string_view input) {
  const std::string trimmed = kelvane::Trim(input);
  Check(!StartsWithSpace(trimmed) && !EndsWithSpace(trimmed), "Trim leaves no space at the ends",
        input, trimmed);
  Check(kelvane::Trim(trimmed) == trimmed, "Trim is idempotent", input, trimmed);
  // The result is the input with only spaces cut off at either end.
  bool found = false;
  for (std::size_t at = 0; !found && at + trimmed.size() <= input.size(); ++at) {
    found = OnlySpaces(input.substr(0, at)) && input.substr(at, trimmed.size()) == trimmed &&
            OnlySpaces(input.substr(at + trimmed.size()));
  }
  Check(found, "Trim removes nothing but spaces at the ends", input, trimmed);
}

void CheckToCrlf(std::string_view input) {
  const std::string crlf = kelvane::ToCrlf(input);
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r') Check(i + 1 < crlf.size() && crlf[i + 1] == '\n', "ToCrlf leaves no lone CR", input, crlf);
    if (crlf[i] == '\n') Check(i > 0 && crlf[i - 1] == '\r', "ToCrlf leaves no lone LF", input, crlf);
  }
  Check(kelvane::ToCrlf(crlf) == crlf, "ToCrlf is idempotent", input, crlf);
  Check(WithoutBreaks(crlf) == WithoutBreaks(input), "ToCrlf changes only line breaks", input, crlf);
  Check(kelvane::CountCrlfLines(crlf) == CountBreaks(input), "ToCrlf keeps the number of line breaks",
        input, crlf);
}

void CheckGbk(std::string_view input) {
  const kelvane::GbkConversion gbk = kelvane::Utf8ToGbk(input);
  if (gbk.ok) {
    std::string back;
    Check(kelvane::GbkToUtf8(gbk.bytes, back), "GBK from Utf8ToGbk converts back", input, gbk.bytes);
    Check(back == input, "UTF-8 -> GBK -> UTF-8 gives the same text (nothing dropped)", input,
          gbk.bytes);
  } else {
    Check(gbk.bytes.empty(), "failed Utf8ToGbk returns no bytes", input, gbk.bytes);
    Check(gbk.badOffset < input.size(), "Utf8ToGbk reports an offset inside the input", input);
    Check(!gbk.badCharacter.empty() && input.substr(gbk.badOffset).starts_with(gbk.badCharacter),
          "Utf8ToGbk reports the bytes found at its offset", input, gbk.badCharacter);
    if (!gbk.badCodePoint.empty()) {
      // A character GBK cannot hold: everything in front of it converts.
      Check(kelvane::Utf8ToGbk(input.substr(0, gbk.badOffset)).ok,
            "the text in front of the reported character converts", input);
    }
  }

  std::string utf8;
  if (kelvane::GbkToUtf8(input, utf8)) {
    const kelvane::GbkConversion again = kelvane::Utf8ToGbk(utf8);
    Check(again.ok && again.bytes == input, "GBK -> UTF-8 -> GBK gives the same bytes", input, utf8);
  }
}

// A remark is one line whatever the comment holds: no control character (C0, DEL, C1, U+2028,
// U+2029) survives, nothing is left to trim, and a second pass changes nothing.
void CheckRemark(std::string_view input) {
  const std::string remark = kelvane::OneLineRemark(input);
  for (std::size_t i = 0; i < remark.size(); ++i) {
    const auto byte = static_cast<unsigned char>(remark[i]);
    const auto next = i + 1 < remark.size() ? static_cast<unsigned char>(remark[i + 1]) : 0;
    const bool c1 = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
    const bool separator = byte == 0xE2 && next == 0x80 && i + 2 < remark.size() &&
                           (static_cast<unsigned char>(remark[i + 2]) & 0xFE) == 0xA8;
    Check(byte >= 0x20 && byte != 0x7F && !c1 && !separator, "remark holds no control character",
          input, remark);
  }
  Check(remark.empty() || (remark.front() != ' ' && remark.back() != ' '), "remark is trimmed",
        input, remark);
  Check(kelvane::OneLineRemark(remark) == remark, "a remark is its own remark", input, remark);
}

// The decoder walks every byte once; a valid code point encodes back to the bytes it came from.
// The caseless key keeps valid UTF-8 valid and is its own key.
void CheckDecoderAndKey(std::string_view input) {
  bool valid = true;
  for (std::size_t at = 0; at < input.size();) {
    const kelvane::utf8::CodePoint c = kelvane::utf8::DecodeAt(input, at);
    Check(c.length >= 1 && c.length <= 4 && at + c.length <= input.size(),
          "a decoded step stays inside the input", input);
    if (c.valid) {
      std::string again;
      AppendUtf8(again, c.value);
      Check(again == input.substr(at, c.length), "a decoded code point encodes back", input, again);
    }
    valid = valid && c.valid;
    at += c.length;
  }
  Check(valid == kelvane::utf8::IsValid(input), "IsValid agrees with the decoder", input);
  const std::string key = kelvane::CaselessKey(input);
  Check(!valid || kelvane::utf8::IsValid(key), "the key of UTF-8 is UTF-8", input, key);
  Check(kelvane::CaselessKey(key) == key, "CaselessKey is its own key", input, key);
}

void FuzzText(std::string_view bytes) {
  CheckDecoderAndKey(bytes);
  CheckRemark(bytes);
  CheckTrim(bytes);
  CheckToCrlf(bytes);
  CheckGbk(bytes);
}

}  // namespace

void FuzzGreeting(std::string_view bytes) {
  using kelvane::GreetingVerdict;
  // Every prefix, as the bytes arrive one read at a time.
  GreetingVerdict decided = GreetingVerdict::NeedMore;
  for (std::size_t n = 0; n <= bytes.size(); ++n) {
    // Copied so that ASan sees a read past the prefix.
    const std::string prefix(bytes.substr(0, n));
    const GreetingVerdict verdict = kelvane::ReadGreeting(prefix);
    if (decided != GreetingVerdict::NeedMore)
      Check(verdict == decided, "a greeting verdict changed with later bytes", prefix);
    decided = verdict;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if ((data[0] & 1) == 0) {
    FuzzedDataProvider in(data + 1, size - 1);
    FuzzBuilders(in);
  } else if ((data[0] & 3) == 1) {
    FuzzText(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  } else {
    FuzzGreeting(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  }
  return 0;
}
