// Column read (the metadata select behind a table choice) on the 1,000,000-row table and on
// the empty table with the same columns, and the plain "select * from big" with a stored
// result as the naive way to learn the same columns.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_env.h"
#include "schema/mysql_access.h"
#include "schema/schema_commands.h"

namespace {

using namespace kelvane;

ConnectionHandle Connection() {
  static const ConnectionHandle connection =
      mysqlConnect(bench::kHost, bench::kUser, bench::kPassword, bench::kColumnsDatabase,
                   bench::ServerPort());
  if (connection <= 0) {
    std::fprintf(stderr, "cannot connect to the benchmark server\n");
    std::exit(2);
  }
  return connection;
}

void ReadColumnsOf(benchmark::State& state, const std::string& table) {
  const ConnectionHandle connection = Connection();
  FieldTable fields;
  for (auto _ : state) {
    if (ReadColumns(connection, table, fields) != ColumnRead::Ok) {
      state.SkipWithError("column read failed");
      break;
    }
    benchmark::DoNotOptimize(fields.data());
  }
  state.counters["columns"] = static_cast<double>(fields.empty() ? 0 : fields.size() - 1);
}

void SelectAllStored(benchmark::State& state, const std::string& table) {
  const ConnectionHandle connection = Connection();
  std::uint64_t rows = 0;
  for (auto _ : state) {
    const RecordSet records = mysqlSelect(connection, QuoteIdentifier(table), "*", "", "");
    if (records <= 0) {
      state.SkipWithError("select failed");
      break;
    }
    rows = mysqlRowCount(records);
    mysqlFreeResult(records);
  }
  state.counters["rows"] = static_cast<double>(rows);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  for (const char* table : {"big", "empty"}) {
    benchmark::RegisterBenchmark((std::string("read_columns/") + table).c_str(), ReadColumnsOf,
                                 std::string(table))
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.1)
        ->Repetitions(15)
        ->ReportAggregatesOnly(true);
  }
  // About a second per run: a few single runs are enough.
  benchmark::RegisterBenchmark("select_all_stored/big", SelectAllStored, std::string("big"))
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  mysqlClose(Connection());
  return 0;
}
