#pragma once
// The private server and fixture data that scripts/bench sets up for the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvane::bench {

inline constexpr const char* kHost = "127.0.0.1";
inline constexpr const char* kUser = "root";
inline constexpr const char* kPassword = "271828";

// Tables "big" (1,000,000 rows) and "empty" (same columns, no rows), and "wide_10",
// "wide_300" and "wide_1000" with that many columns of mixed types.
inline constexpr const char* kColumnsDatabase = "kelvane_bench";
// 5,000 tables of 20 columns.
inline constexpr const char* kManyTablesDatabase = "kelvane_bench_many";
inline constexpr int kManyTables = 5000;

// The databases exported whole: "kelvane_bench_many_1000", "kelvane_bench_many" and
// "kelvane_bench_many_20000", with 1,000, 5,000 and 20,000 tables of the same 20 columns.
inline constexpr int kExportTables[] = {1000, kManyTables, 20000};
inline std::string ExportDatabase(int tables) {
  return tables == kManyTables ? kManyTablesDatabase
                               : std::string(kManyTablesDatabase) + "_" + std::to_string(tables);
}

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
