// Start to window shown, for the program's own start-up, for a minimal Qt Widgets program with
// one CJK tab title and one CJK label, and for an empty Qt window: each run launches a fresh
// process and takes the time from just before the launch to the
// window's first show event, which the child reports on the shared monotonic clock.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <utility>

#include "bench/child_process.h"

namespace {

long long MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Nanoseconds from launch to first show, or -1 when the child failed.
long long StartToShown(const std::string& program) {
  const long long start = MonotonicNanoseconds();
  const kelvane::bench::ChildResult run = kelvane::bench::RunChild({program});
  if (!run.ok || run.output.empty()) return -1;
  return std::stoll(run.output) - start;
}

void Start(benchmark::State& state, const std::string& program) {
  for (auto _ : state) {
    const long long shown = StartToShown(program);
    if (shown < 0) {
      state.SkipWithError("the program did not show its window");
      break;
    }
    state.SetIterationTime(static_cast<double>(shown) * 1e-9);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::pair<const char*, const char*> kPrograms[] = {
      {"start/kelvane", KELVANE_START_KELVANE},
      {"start/cjk_tabs", KELVANE_START_CJK_TABS},
      {"start/empty_qt_widget", KELVANE_START_EMPTY}};
  // One unmeasured start of each first, so that all find the same warm caches.
  for (const auto& [name, program] : kPrograms) StartToShown(program);
  for (const auto& [name, program] : kPrograms) {
    benchmark::RegisterBenchmark(name, Start, std::string(program))
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
