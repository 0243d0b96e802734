// Export of a whole database, 1,000, 5,000 and 20,000 tables of 20 columns: "kelvane-gen export"
// (five files per table) against "mariadb-dump --no-data --skip-lock-tables" of the same database
// into one file. kelvane-gen locks nothing, and the dump's LOCK TABLES of a whole database opens
// every table at once: at 20,000 MyISAM tables that is two files each, past the descriptor limit
// (error 24), and at 1,000 it adds seconds of the server's work that the export does not do. Both
// run as fresh processes on the benchmark server and are timed from launch to exit; each
// reports its peak resident set in the counter "peak_kib". Every export goes into a new folder
// below KELVANE_BENCH_TMP, removed again outside the timed part.
// For 1,000 tables also: a re-export over the previous export (the everyday use), and the least
// writing the same result costs without Kelvane: the very tree kelvane-gen wrote, extracted
// from a tar file and made durable with one "sync -f" (the files, folders and one durability
// step, without any server work). Every timed pass starts after a "sync -f" of the scratch file
// system, so no row pays for what the one before it wrote or removed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_env.h"
#include "bench/child_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Generous: a run must never be cut short, however slow the export is.
constexpr std::chrono::seconds kLimit(1800);

fs::path gScratch;

std::string Port() { return std::to_string(kelvane::bench::ServerPort()); }

std::string Database(int tables) { return kelvane::bench::ExportDatabase(tables); }

std::vector<std::string> ExportCommand(int tables, const fs::path& out) {
  return {KELVANE_GEN, "-h", kelvane::bench::kHost, "-P", Port(), "-u", kelvane::bench::kUser,
          std::string("--password=") + kelvane::bench::kPassword, "export", Database(tables),
          "--out", out.string()};
}

// Makes the scratch file system's pending writes (a removed tree's included) durable, so that a
// timed pass's own sync pays for nothing written before it.
void SettleDisk() { kelvane::bench::RunChild({"sync", "-f", gScratch.string()}, kLimit); }

// Runs the command once per pass, timed from launch to exit. What a pass wrote (written: the
// output folder or file) is removed before the next one and at the end, outside the timing;
// each pass starts on a settled disk.
void Passes(benchmark::State& state, const std::vector<std::string>& command,
            const fs::path& written, bool toFile, const char* failure) {
  long peak = 0;
  for (auto _ : state) {
    fs::remove_all(written);
    SettleDisk();
    const Clock::time_point start = Clock::now();
    const kelvane::bench::ChildResult run =
        kelvane::bench::RunChild(command, kLimit, toFile ? written.string() : std::string());
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    peak = run.peakKiB;
    if (!run.ok) {
      state.SkipWithError(failure);
      break;
    }
  }
  fs::remove_all(written);
  state.counters["peak_kib"] = static_cast<double>(peak);
}

void Export(benchmark::State& state, int tables) {
  const fs::path out = gScratch / ("export-" + std::to_string(tables));
  Passes(state, ExportCommand(tables, out), out, false, "kelvane-gen export failed");
}

void ReExport(benchmark::State& state, int tables) {
  const fs::path out = gScratch / ("reexport-" + std::to_string(tables));
  fs::remove_all(out);
  if (!kelvane::bench::RunChild(ExportCommand(tables, out), kLimit).ok) {
    state.SkipWithError("kelvane-gen export failed");
    return;
  }
  for (auto _ : state) {
    SettleDisk();
    const Clock::time_point start = Clock::now();
    const kelvane::bench::ChildResult run = kelvane::bench::RunChild(ExportCommand(tables, out), kLimit);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!run.ok) {
      state.SkipWithError("kelvane-gen re-export failed");
      break;
    }
  }
  fs::remove_all(out);
}

void TarFloor(benchmark::State& state, int tables) {
  const fs::path tree = gScratch / ("tree-" + std::to_string(tables));
  const fs::path archive = gScratch / ("tree-" + std::to_string(tables) + ".tar");
  const fs::path out = gScratch / ("untar-" + std::to_string(tables));
  fs::remove_all(tree);
  if (!kelvane::bench::RunChild(ExportCommand(tables, tree), kLimit).ok ||
      !kelvane::bench::RunChild({"tar", "-cf", archive.string(), "-C", tree.string(), "."}, kLimit).ok) {
    state.SkipWithError("making the tree to extract failed");
    return;
  }
  fs::remove_all(tree);
  // Like an export, the extraction starts from a clean disk: the tree just removed and the
  // archive just written are made durable outside the timing (Passes settles the disk).
  const std::string script = "mkdir -p \"$2\" && tar -xf \"$1\" -C \"$2\" && sync -f \"$2\"";
  Passes(state, {"sh", "-c", script, "sh", archive.string(), out.string()}, out, false,
         "tar -x of the tree failed");
  fs::remove(archive);
}

void Dump(benchmark::State& state, int tables) {
  const fs::path file = gScratch / ("dump-" + std::to_string(tables) + ".sql");
  Passes(state,
         {"mariadb-dump", "--no-defaults", "-h", kelvane::bench::kHost, "-P", Port(), "-u",
          kelvane::bench::kUser, std::string("-p") + kelvane::bench::kPassword, "--no-data",
          "--skip-lock-tables", Database(tables)},
         file, true, "mariadb-dump failed");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const char* scratch = std::getenv("KELVANE_BENCH_TMP");
  if (scratch == nullptr || *scratch == '\0' || !fs::is_directory(scratch)) {
    std::fprintf(stderr, "KELVANE_BENCH_TMP does not name a folder; run scripts/bench\n");
    return 2;
  }
  gScratch = scratch;

  for (int tables : kelvane::bench::kExportTables) {
    // An export of 5,000 or 20,000 tables takes minutes on a busy machine: one run of each there.
    const int repetitions = tables > 1000 ? 1 : 3;
    const std::string suffix = "/" + std::to_string(tables);
    std::vector<std::pair<const char*, void (*)(benchmark::State&, int)>> rows = {
        {"export/kelvane_gen", &Export}, {"export/mariadb_dump", &Dump}};
    if (tables == 1000) {
      rows.emplace_back("export/kelvane_gen_again", &ReExport);
      rows.emplace_back("export/tar_floor", &TarFloor);
    }
    for (auto [name, function] : rows) {
      benchmark::RegisterBenchmark((name + suffix).c_str(), function, tables)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1)
          ->Repetitions(repetitions)
          ->ReportAggregatesOnly(true);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
