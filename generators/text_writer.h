#pragma once
// TextWriter: appends to a std::string through a raw cursor. Room for the expected text is
// reserved once; the string is then lengthened a step at a time (so the bytes it zero-fills
// are still in cache when the text overwrites them), every line is copied straight into it
// with one room check per line, and the unused tail is cut off when the writer is done. A
// string literal is copied as a fixed-size block (its length is known at compile time), so
// the compiler turns it into a few moves.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace kelvane {

// A number as decimal text in a stack buffer, so it can be one piece of a Line or Put.
class Decimal {
 public:
  explicit Decimal(std::size_t value) {
    const auto result = std::to_chars(buffer_, buffer_ + sizeof buffer_, value);
    length_ = static_cast<std::size_t>(result.ptr - buffer_);
  }
  const char* data() const { return buffer_; }
  std::size_t size() const { return length_; }
  operator std::string_view() const { return {buffer_, length_}; }

 private:
  char buffer_[24];
  std::size_t length_ = 0;
};

class TextWriter {
 public:
  // Appends after the current end of `text`, with room for `expected` bytes made up front.
  // Writing more than `expected` is fine; the string then grows as needed.
  TextWriter(std::string& text, std::size_t expected) : text_(text) {
    const std::size_t used = text_.size();
    text_.reserve(used + expected);
    text_.resize(used + std::min(expected, kStep));
    Attach(used);
  }
  // Writes a text of its own, about `expected` bytes long; Take() hands it over.
  explicit TextWriter(std::size_t expected) : TextWriter(own_, expected) {}
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
  // The string ends at the last byte written.
  ~TextWriter() { Finish(); }

  // Cuts the string to what was written; the writer may go on writing afterwards.
  void Finish() {
    const std::size_t size = Size();
    text_.resize(size);
    Attach(size);
  }

  // The finished text of a writer made with its own; the writer is empty afterwards.
  std::string Take() {
    Finish();
    std::string text = std::move(text_);
    text_.clear();
    Attach(0);
    return text;
  }

  // Bytes in the string so far, the written ones included.
  std::size_t Size() const { return static_cast<std::size_t>(cursor_ - begin_); }
  // Takes back the last byte written, if any.
  void DropBack() {
    if (cursor_ != begin_) --cursor_;
  }

  // Appends the pieces in order. A piece is a string literal (a char array is always taken
  // as one: its last byte, the terminating NUL, is left out), a single char, a Decimal, or
  // anything that converts to std::string_view.
  template <typename... Pieces>
  void Put(const Pieces&... pieces) {
    Write(View(pieces)...);
  }

  // Appends the pieces in order, then the line end CR LF.
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    Write(View(pieces)..., View("\r\n"));
  }

 private:
  // How far the string is lengthened at a time.
  static constexpr std::size_t kStep = 16384;

  // A piece whose length is known at compile time: a string literal without its NUL.
  template <std::size_t N>
  struct Fixed {
    const char* data;
    static constexpr std::size_t size = N - 1;
    char* CopyTo(char* to) const {
      CopyFixed<size>(to, data);
      return to + size;
    }
  };
  // A single char.
  struct Single {
    char c;
    static constexpr std::size_t size = 1;
    char* CopyTo(char* to) const {
      *to = c;
      return to + 1;
    }
  };
  // A number: at most 20 digits.
  struct Digits {
    const char* data;
    std::size_t size;
    char* CopyTo(char* to) const {
      CopyShort(to, data, size);
      return to + size;
    }
  };
  // Any other text.
  struct Bytes {
    const char* data;
    std::size_t size;
    char* CopyTo(char* to) const {
      CopyBytes(to, data, size);
      return to + size;
    }
  };

  template <std::size_t N>
  static Fixed<N> View(const char (&literal)[N]) {
    return {literal};
  }
  static Single View(char c) { return {c}; }
  static Digits View(const Decimal& number) { return {number.data(), number.size()}; }
  static Bytes View(std::string_view text) { return {text.data(), text.size()}; }

  // The pieces are taken by value, so that their addresses and lengths stay in registers
  // while bytes are stored through the cursor, and the cursor is stored back once.
  template <typename... Views>
  void Write(const Views... views) {
    Room((views.size + ... + std::size_t{0}));
    char* to = cursor_;
    ((to = views.CopyTo(to)), ...);
    cursor_ = to;
  }

  // Copies K bytes as 16-byte moves plus one move for the rest, all inline (a single memcpy
  // of a long literal may become a slow-starting string instruction instead).
  template <std::size_t K>
  static void CopyFixed(char* to, const char* from) {
    if constexpr (K > 16) {
      Move<16>(to, from);
      CopyFixed<K - 16>(to + 16, from + 16);
    } else {
      std::memcpy(to, from, K);
    }
  }

  // Names and table entries are mostly short: up to 64 bytes are copied inline, as two
  // overlapping moves from the front and the back; longer ones go to memcpy.
  static void CopyBytes(char* to, const char* from, std::size_t n) {
    if (n <= 16) {
      CopyShort(to, from, n);
    } else if (n <= 32) {
      Move<16>(to, from);
      Move<16>(to + n - 16, from + n - 16);
    } else if (n <= 64) {
      Move<32>(to, from);
      Move<32>(to + n - 32, from + n - 32);
    } else {
      std::memcpy(to, from, n);
    }
  }
  // Up to 20 bytes (more than 16 only from a Decimal).
  static void CopyShort(char* to, const char* from, std::size_t n) {
    if (n > 16) {
      Move<16>(to, from);
      Move<8>(to + n - 8, from + n - 8);
    } else if (n >= 8) {
      Move<8>(to, from);
      Move<8>(to + n - 8, from + n - 8);
    } else if (n >= 4) {
      Move<4>(to, from);
      Move<4>(to + n - 4, from + n - 4);
    } else if (n > 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  }
  // Loads K bytes, then stores them.
  template <std::size_t K>
  static void Move(char* to, const char* from) {
    char word[K];
    std::memcpy(word, from, K);
    std::memcpy(to, word, K);
  }

  // Makes sure `n` more bytes fit after the cursor.
  void Room(std::size_t n) {
    if (n > static_cast<std::size_t>(end_ - cursor_)) [[unlikely]] {
      Grow(n);
    }
  }

  // Lengthens the string by a step, or by `n` if more; within the reserved room when `n`
  // still fits there (so no step zero-fills past it), by reallocating otherwise.
  [[gnu::noinline, gnu::cold]] void Grow(std::size_t n) {
    const std::size_t size = Size();
    std::size_t length = size + std::max(n, kStep);
    if (size + n <= text_.capacity()) length = std::min(length, text_.capacity());
    text_.resize(length);
    Attach(size);
  }

  // Points the cursor `size` bytes into the string and the end at its current size.
  void Attach(std::size_t size) {
    begin_ = text_.data();
    cursor_ = begin_ + size;
    end_ = begin_ + text_.size();
  }

  std::string own_;  // declared first: text_ may refer to it
  std::string& text_;
  char* begin_ = nullptr;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
};

}  // namespace kelvane
