// Start to window shown, for the program's own start-up, for a minimal Qt Widgets program with
// one CJK tab title and one CJK label, and for an empty Qt window: each run launches a fresh
// process and takes the time from just before the launch to the window's first show event,
// which the child reports on the shared monotonic clock.
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

struct StartRun {
  long long shownNs = -1;  // launch to first show; -1 when the child failed
  double cpuSeconds = 0;   // the child's processor time, start to exit
};

StartRun StartToShown(const std::string& program) {
  const long long start = MonotonicNanoseconds();
  const kelvane::bench::ChildResult run = kelvane::bench::RunChild({program});
  if (!run.ok || run.output.empty()) return {};
  return {std::stoll(run.output) - start, run.cpuSeconds};
}

// Also reports the processor time of the whole child in the counter "cpu_ms": unlike the time
// to shown it does not grow while a busy machine makes the child wait for a core.
void Start(benchmark::State& state, const std::string& program) {
  double cpuSeconds = 0;
  for (auto _ : state) {
    const StartRun run = StartToShown(program);
    if (run.shownNs < 0) {
      state.SkipWithError("the program did not show its window");
      break;
    }
    state.SetIterationTime(static_cast<double>(run.shownNs) * 1e-9);
    cpuSeconds += run.cpuSeconds;
  }
  state.counters["cpu_ms"] =
      benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
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
  // One start per repetition: the median of single starts shrugs off the ones a busy machine
  // delays.
  for (const auto& [name, program] : kPrograms) {
    benchmark::RegisterBenchmark(name, Start, std::string(program))
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(21)
        ->ReportAggregatesOnly(true);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
