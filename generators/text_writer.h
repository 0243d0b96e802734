#pragma once
// TextWriter: appends pieces of text, and CR LF line ends, to a std::string. Builders reserve
// room for their whole text once; every piece is then a plain append.
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace kelvane {

// A number as decimal text in a stack buffer, so it can be one piece of a Line or Put.
class Decimal {
 public:
  explicit Decimal(std::size_t value)
      : length_(static_cast<std::size_t>(
            std::to_chars(buffer_, buffer_ + sizeof buffer_, value).ptr - buffer_)) {}
  operator std::string_view() const { return {buffer_, length_}; }

 private:
  char buffer_[24];
  std::size_t length_;
};

class TextWriter {
 public:
  // Appends after the current end of `text`.
  explicit TextWriter(std::string& text) : text_(text) {}
  // Writes a text of its own with room for `expected` bytes; Take() hands it over.
  explicit TextWriter(std::size_t expected = 0) : text_(own_) { own_.reserve(expected); }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // The text of a writer made with its own; the writer is empty afterwards.
  std::string Take() { return std::exchange(text_, std::string()); }
  // Takes back the last byte written, if any.
  void DropBack() {
    if (!text_.empty()) text_.pop_back();
  }

  // Appends the pieces in order. A piece is a string literal (a char array is always taken
  // as one: its terminating NUL is left out), a single char, a Decimal, or anything that
  // converts to std::string_view.
  template <typename... Pieces>
  void Put(const Pieces&... pieces) {
    (Append(pieces), ...);
  }
  // Appends the pieces in order, then the line end CR LF.
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    Put(pieces..., "\r\n");
  }

 private:
  template <std::size_t N>
  void Append(const char (&literal)[N]) {
    text_.append(literal, N - 1);
  }
  void Append(char c) { text_.push_back(c); }
  void Append(std::string_view piece) { text_.append(piece); }

  std::string own_;  // declared first: text_ may refer to it
  std::string& text_;
};

}  // namespace kelvane
