// Listing a database of 5,000 tables: choosing it in the window's database list until its
// tables stand in 列表框2 and the window has repainted, against the command-line client
// listing the same tables ("mariadb -N -e 'show tables'", started, connected and printing,
// its output read here). Both are timed as the whole operation on the same clock.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "bench/bench_env.h"
#include "bench/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

QListWidget* gDatabaseList = nullptr;
QListWidget* gTableList = nullptr;
QListWidgetItem* gDatabaseItem = nullptr;
kelvane::MainWindow* gWindow = nullptr;

void ListInWindow(benchmark::State& state) {
  for (auto _ : state) {
    gDatabaseList->clearSelection();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    gDatabaseItem->setSelected(true);  // the database choice, as a click makes it
    gWindow->WaitUntilIdle();
    QApplication::processEvents();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (gTableList->count() != kelvane::bench::kManyTables) {
      state.SkipWithError("列表框2 does not hold the 5,000 tables");
      break;
    }
  }
  state.counters["tables"] = gTableList->count();
}

void ListWithClient(benchmark::State& state) {
  const std::vector<std::string> command = {
      "mariadb", "--no-defaults", "-h", kelvane::bench::kHost,
      "-P", std::to_string(kelvane::bench::ServerPort()), "-u", kelvane::bench::kUser,
      std::string("-p") + kelvane::bench::kPassword, "-N", "-e", "show tables",
      kelvane::bench::kManyTablesDatabase};
  int lines = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const kelvane::bench::ChildResult run = kelvane::bench::RunChild(command);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    lines = 0;
    for (char c : run.output) lines += c == '\n' ? 1 : 0;
    if (!run.ok || lines != kelvane::bench::kManyTables) {
      state.SkipWithError("the client did not list the 5,000 tables");
      break;
    }
  }
  state.counters["tables"] = lines;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  kelvane::MainWindow window(kelvane::bench::ServerPort());
  gWindow = &window;
  window.show();
  QApplication::processEvents();
  window.ConnectServer();
  window.WaitUntilIdle();
  QApplication::processEvents();
  gDatabaseList = window.findChild<QListWidget*>(QStringLiteral("选择列表框1"));
  gTableList = window.findChild<QListWidget*>(QStringLiteral("列表框2"));
  if (gDatabaseList && gTableList) {
    const auto found = gDatabaseList->findItems(
        QString::fromUtf8(kelvane::bench::kManyTablesDatabase), Qt::MatchExactly);
    if (!found.isEmpty()) gDatabaseItem = found.first();
  }
  if (gDatabaseItem == nullptr) {
    std::fprintf(stderr, "the window does not list the database %s\n",
                 kelvane::bench::kManyTablesDatabase);
    return 2;
  }

  for (auto [name, function] : {std::pair{"list_tables/window", &ListInWindow},
                                std::pair{"list_tables/mariadb_client", &ListWithClient}}) {
    benchmark::RegisterBenchmark(name, function)
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
