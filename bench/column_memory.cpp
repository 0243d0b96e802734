// Peak memory growth of the client during one column read of a table, measured in a fresh
// process: the high-water mark of the resident set is reset just before the read and read
// back after it.
//   kelvane_bench_column_memory columns TABLE   the program's column read
//   kelvane_bench_column_memory select  TABLE   plain "select *" with a stored result
// Prints one JSON object.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_env.h"
#include "schema/mysql_access.h"
#include "schema/schema_commands.h"

namespace {

// A "VmHWM:" / "VmRSS:" line of /proc/self/status, in KiB.
long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t keyLength = std::strlen(key);
  while (std::getline(status, line))
    if (line.compare(0, keyLength, key) == 0) return std::stol(line.substr(keyLength));
  return -1;
}

// Writing 5 to clear_refs resets the high-water mark to the current resident set.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvane;
  if (argc != 3 || (std::strcmp(argv[1], "columns") != 0 && std::strcmp(argv[1], "select") != 0)) {
    std::fprintf(stderr, "usage: %s columns|select TABLE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const std::string table = argv[2];
  const ConnectionHandle connection = mysqlConnect(
      bench::kHost, bench::kUser, bench::kPassword, bench::kColumnsDatabase, bench::ServerPort());
  if (connection <= 0) {
    std::fprintf(stderr, "cannot connect to the benchmark server\n");
    return 2;
  }
  FieldTable fields;
  fields.reserve(64);

  if (!ResetPeak()) {
    std::fprintf(stderr, "cannot reset the peak resident set\n");
    return 2;
  }
  const long before = StatusKiB("VmRSS:");
  std::uint64_t rows = 0;
  bool ok = false;
  if (mode == "columns") {
    ok = ReadColumns(connection, table, fields) == ColumnRead::Ok;
  } else {
    const RecordSet records = mysqlSelect(connection, QuoteIdentifier(table), "*", "", "");
    ok = records > 0;
    rows = mysqlRowCount(records);
    mysqlFreeResult(records);
  }
  const long peak = StatusKiB("VmHWM:");
  mysqlClose(connection);
  if (!ok) {
    std::fprintf(stderr, "the %s read of %s failed\n", mode.c_str(), table.c_str());
    return 1;
  }
  std::printf("{\"mode\": \"%s\", \"table\": \"%s\", \"rss_before_kib\": %ld, \"peak_kib\": %ld, "
              "\"growth_kib\": %ld, \"columns\": %zu, \"rows\": %llu}\n",
              mode.c_str(), table.c_str(), before, peak, peak - before,
              fields.empty() ? std::size_t{0} : fields.size() - 1,
              static_cast<unsigned long long>(rows));
  return 0;
}
