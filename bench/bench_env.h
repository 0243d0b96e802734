#pragma once
// The private server and fixture data that scripts/bench sets up for the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvane::bench {

inline constexpr const char* kHost = "127.0.0.1";
inline constexpr const char* kUser = "root";
inline constexpr const char* kPassword = "271828";

// Tables "big" (1,000,000 rows) and "empty" (same columns, no rows).
inline constexpr const char* kColumnsDatabase = "kelvane_bench";
// 5,000 tables.
inline constexpr const char* kManyTablesDatabase = "kelvane_bench_many";
inline constexpr int kManyTables = 5000;

// Port of the benchmark server from KELVANE_BENCH_PORT; exits when it is not set.
inline unsigned ServerPort() {
  const char* text = std::getenv("KELVANE_BENCH_PORT");
  const unsigned long port = text ? std::strtoul(text, nullptr, 10) : 0;
  if (port == 0 || port > 65535) {
    std::fprintf(stderr, "KELVANE_BENCH_PORT is not set; run scripts/bench\n");
    std::exit(2);
  }
  return static_cast<unsigned>(port);
}

}  // namespace kelvane::bench
