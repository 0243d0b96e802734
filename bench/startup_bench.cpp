// Start to window shown, for the program's own start-up and for a minimal Qt Widgets program:
// each run launches a fresh process and takes the time from just before the launch to the
// window's first show event, which the child reports on the shared monotonic clock.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

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
  // One unmeasured start of each first, so that both find the same warm caches.
  for (const char* program : {KELVANE_START_KELVANE, KELVANE_START_EMPTY}) StartToShown(program);

  benchmark::RegisterBenchmark("start/kelvane", Start, std::string(KELVANE_START_KELVANE))
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->Repetitions(7)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("start/empty_qt_widget", Start, std::string(KELVANE_START_EMPTY))
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->Repetitions(7)
      ->ReportAggregatesOnly(true);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
