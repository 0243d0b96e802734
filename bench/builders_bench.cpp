// Each of the five builders for tables of 100 and 1,000 columns, to show that their time grows
// in proportion to the columns. Every benchmark reports the output size in the counter "bytes".
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "generators/generators.h"
#include "schema/field_table.h"

namespace {

using namespace kelvane;

constexpr const char* kTable = "orders";

// Columns of the usual kinds, as a column read of such a table gives them, then the state
// record.
FieldTable TableOf(int columns) {
  static const std::array<FieldRecord, 6> kKinds = {{
      {"", "整数型", "Jz", "int"},
      {"", "文本型", "Jw", "String"},
      {"", "小数型", "Jx", "float"},
      {"", "日期时间型", "Jr", "DateTime"},
      {"", "字节型", "Jb", "byte"},
      {"", "长整数型", "Jz", "long"},
  }};
  FieldTable fields;
  for (int i = 0; i < columns; ++i) {
    FieldRecord record = kKinds[static_cast<std::size_t>(i) % kKinds.size()];
    record.columnName = i == 0 ? "id" : "column_" + std::to_string(i);
    fields.push_back(std::move(record));
  }
  fields.push_back(StateRecord());
  return fields;
}

struct PaneName {
  Pane pane;
  const char* name;
};
constexpr PaneName kPanes[] = {{Pane::CustomType, "custom_type"},
                               {Pane::ClassModule, "class_module"},
                               {Pane::SetClass, "set_class"},
                               {Pane::CSharpEntity, "csharp_entity"},
                               {Pane::CSharpOperation, "csharp_operation"}};

void Build(benchmark::State& state, Pane pane, int columns) {
  const FieldTable fields = TableOf(columns);
  const std::string table = kTable;
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = BuildPaneText(pane, table, fields);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const PaneName& p : kPanes) {
    for (int columns : {100, 1000}) {
      const std::string name = std::string("builder/") + p.name + "/" + std::to_string(columns);
      benchmark::RegisterBenchmark(name.c_str(), &Build, p.pane, columns)
          ->Unit(benchmark::kNanosecond)
          ->MinTime(0.2)
          ->Repetitions(9)
          ->ReportAggregatesOnly(true);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
