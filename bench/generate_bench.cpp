// The press of 按钮2 and of 按钮5 as a user feels them, each against the least Qt itself needs
// for the same result. The window is connected to the benchmark server and the tables are
// chosen in 列表框2, so the five builders work on columns read from real tables.
//   generate/window/N    click 按钮2 on a table of N columns until the five panes are filled,
//                        page 2 is current and every event that caused has been processed
//   generate/floor/N     five shown QPlainTextEdits of the panes' sizes: set the same five
//                        texts (already QStrings) and process the events
//   generate/builders/N  the five builders alone, for the builders' share of the press
//   copy/window          click 按钮5 with the 1,000-column set class (about 1 MB) in 编辑框3
//   copy/floor           what the same copy needs without Kelvane: the generated text's bytes
//                        turned into a QString once (QString::fromUtf8) and QClipboard::setText
// Before every timed pass both sides start from empty panes (or an empty clipboard) and the
// window from page 1, so each pass does the whole work once.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "bench/bench_env.h"
#include "generators/generators.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

constexpr std::array<Pane, 5> kPaneKinds = {Pane::CustomType, Pane::ClassModule, Pane::SetClass,
                                            Pane::CSharpEntity, Pane::CSharpOperation};
constexpr std::array<const char*, 5> kPaneNames = {"编辑框1", "编辑框2", "编辑框3", "编辑框_C类",
                                                   "编辑框_C操作类"};

// The window and the handles the benchmarks press and read.
struct Window {
  MainWindow* window = nullptr;
  QTabWidget* tabs = nullptr;
  QListWidget* tables = nullptr;
  QPushButton* generate = nullptr;
  QPushButton* copySetClass = nullptr;
  std::array<QPlainTextEdit*, 5> panes{};
};
Window* gWindow = nullptr;

// Five shown QPlainTextEdits of the panes' sizes, side by side in one window.
struct Floor {
  QWidget window;
  std::array<QPlainTextEdit*, 5> edits{};
};
Floor* gFloor = nullptr;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string WideTable(int columns) { return "wide_" + std::to_string(columns); }

// Chooses the table in 列表框2 as a click does (which reads its columns), unless it is chosen.
bool ChooseTable(const std::string& table) {
  const QList<QListWidgetItem*> found =
      gWindow->tables->findItems(QString::fromStdString(table), Qt::MatchExactly);
  if (found.isEmpty()) return false;
  if (!found.first()->isSelected()) {
    gWindow->tables->clearSelection();
    found.first()->setSelected(true);
    gWindow->window->WaitUntilIdle();
    QApplication::processEvents();
  }
  return gWindow->window->core().fields().size() > 1;
}

// The five texts of the chosen table, as the builders write them.
std::array<std::string, 5> BuildAll(const std::string& table) {
  std::array<std::string, 5> texts;
  for (std::size_t i = 0; i < kPaneKinds.size(); ++i)
    texts[i] = BuildPaneText(kPaneKinds[i], table, gWindow->window->core().fields());
  return texts;
}

void GenerateInWindow(benchmark::State& state, int columns) {
  if (!ChooseTable(WideTable(columns))) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  for (auto _ : state) {
    gWindow->tabs->setCurrentIndex(1);
    for (QPlainTextEdit* pane : gWindow->panes) pane->clear();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    gWindow->generate->click();
    gWindow->window->WaitUntilIdle();
    QApplication::processEvents();
    state.SetIterationTime(Since(start));
    if (gWindow->tabs->currentIndex() != 2 || gWindow->panes[0]->document()->isEmpty()) {
      state.SkipWithError("按钮2 did not fill the panes and show page 2");
      break;
    }
  }
  state.counters["columns"] = columns;
}

void GenerateFloor(benchmark::State& state, int columns) {
  if (!ChooseTable(WideTable(columns))) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  std::array<QString, 5> texts;
  const std::array<std::string, 5> built = BuildAll(WideTable(columns));
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = QString::fromStdString(built[i]);
  for (auto _ : state) {
    for (QPlainTextEdit* edit : gFloor->edits) edit->clear();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    for (std::size_t i = 0; i < texts.size(); ++i) gFloor->edits[i]->setPlainText(texts[i]);
    QApplication::processEvents();
    state.SetIterationTime(Since(start));
  }
  state.counters["columns"] = columns;
}

void Builders(benchmark::State& state, int columns) {
  const std::string table = WideTable(columns);
  if (!ChooseTable(table)) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const std::array<std::string, 5> texts = BuildAll(table);
    state.SetIterationTime(Since(start));
    bytes = 0;
    for (const std::string& text : texts) bytes += text.size();
  }
  state.counters["columns"] = columns;
  state.counters["bytes"] = static_cast<double>(bytes);
}

constexpr int kCopyColumns = 1000;

// The longest the window goes without taking an event: while 按钮2 runs on a 1,000-column
// table (a 5 ms timer on the UI thread notes the longest gap between its ticks), then while
// pages 3 and 4 are shown for the first time after it (their panes get their texts then).
void StallInWindow(benchmark::State& state) {
  if (!ChooseTable(WideTable(kCopyColumns))) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  double generate = 0, page3 = 0, page4 = 0;
  for (auto _ : state) {
    gWindow->tabs->setCurrentIndex(1);
    QApplication::processEvents();
    Clock::time_point tick = Clock::now();
    double longest = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const Clock::time_point now = Clock::now();
      longest = std::max(longest, Since(tick));
      tick = now;
    });
    timer.start(5);
    tick = Clock::now();
    gWindow->generate->click();
    gWindow->window->WaitUntilIdle();
    QApplication::processEvents();
    longest = std::max(longest, Since(tick));
    timer.stop();
    generate = std::max(generate, longest);
    for (auto [page, worst] : {std::pair{3, &page3}, std::pair{4, &page4}}) {
      const Clock::time_point start = Clock::now();
      gWindow->tabs->setCurrentIndex(page);
      QApplication::processEvents();
      *worst = std::max(*worst, Since(start));
    }
    state.SetIterationTime(longest);
    if (gWindow->panes[2]->document()->isEmpty()) {
      state.SkipWithError("page 3 showed no set class");
      break;
    }
  }
  state.counters["generate_s"] = generate;
  state.counters["page3_s"] = page3;
  state.counters["page4_s"] = page4;
}

void CopyInWindow(benchmark::State& state) {
  if (!ChooseTable(WideTable(kCopyColumns))) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  gWindow->generate->click();
  gWindow->window->WaitUntilIdle();
  gWindow->tabs->setCurrentIndex(3);
  QApplication::processEvents();
  QClipboard* clipboard = QGuiApplication::clipboard();
  const std::string expected = BuildPaneText(Pane::SetClass, WideTable(kCopyColumns),
                                             gWindow->window->core().fields());
  for (auto _ : state) {
    clipboard->clear();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    gWindow->copySetClass->click();
    QApplication::processEvents();
    state.SetIterationTime(Since(start));
    if (clipboard->text().size() != QString::fromStdString(expected).size()) {
      state.SkipWithError("按钮5 did not put the set class on the clipboard");
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(expected.size());
}

void CopyFloor(benchmark::State& state) {
  if (!ChooseTable(WideTable(kCopyColumns))) {
    state.SkipWithError("the table cannot be chosen");
    return;
  }
  const std::string expected = BuildPaneText(Pane::SetClass, WideTable(kCopyColumns),
                                             gWindow->window->core().fields());
  QClipboard* clipboard = QGuiApplication::clipboard();
  for (auto _ : state) {
    clipboard->clear();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    clipboard->setText(QString::fromUtf8(expected.data(), static_cast<qsizetype>(expected.size())));
    QApplication::processEvents();
    state.SetIterationTime(Since(start));
  }
  state.counters["bytes"] = static_cast<double>(expected.size());
}

bool OpenWindow(Window& w) {
  w.window = new MainWindow(bench::ServerPort());
  w.window->core().KeepColumns();
  w.window->show();
  QApplication::processEvents();
  w.window->ConnectServer();
  w.window->WaitUntilIdle();
  QApplication::processEvents();
  w.tabs = w.window->findChild<QTabWidget*>(QStringLiteral("选择夹1"));
  w.tables = w.window->findChild<QListWidget*>(QStringLiteral("列表框2"));
  w.generate = w.window->findChild<QPushButton*>(QStringLiteral("按钮2"));
  w.copySetClass = w.window->findChild<QPushButton*>(QStringLiteral("按钮5"));
  auto* databases = w.window->findChild<QListWidget*>(QStringLiteral("选择列表框1"));
  if (!w.tabs || !w.tables || !w.generate || !w.copySetClass || !databases) return false;
  for (std::size_t i = 0; i < kPaneNames.size(); ++i) {
    w.panes[i] = w.window->findChild<QPlainTextEdit*>(QString::fromUtf8(kPaneNames[i]));
    if (!w.panes[i]) return false;
  }
  const auto found =
      databases->findItems(QString::fromUtf8(bench::kColumnsDatabase), Qt::MatchExactly);
  if (found.isEmpty()) return false;
  found.first()->setSelected(true);
  w.window->WaitUntilIdle();
  QApplication::processEvents();
  return w.tables->count() > 0;
}

void OpenFloor(Floor& floor) {
  int left = 0;
  for (std::size_t i = 0; i < kPaneNames.size(); ++i) {
    const QSize size = gWindow->panes[i]->size();
    floor.edits[i] = new QPlainTextEdit(&floor.window);
    floor.edits[i]->setGeometry(left, 0, size.width(), size.height());
    left += size.width();
  }
  floor.window.resize(left, gWindow->panes[0]->height() + 20);
  floor.window.show();
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  Window window;
  gWindow = &window;
  if (!OpenWindow(window)) {
    std::fprintf(stderr, "the window does not list the tables of %s\n", bench::kColumnsDatabase);
    return 2;
  }
  Floor floor;
  gFloor = &floor;
  OpenFloor(floor);

  // Every pass is timed by hand, a few per repetition; repetitions of all of them alternate.
  const auto setUp = [](benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(7)
        ->ReportAggregatesOnly(true);
  };
  for (int columns : {10, 300, 1000}) {
    const std::string suffix = "/" + std::to_string(columns);
    setUp(benchmark::RegisterBenchmark(("generate/window" + suffix).c_str(), GenerateInWindow,
                                       columns));
    setUp(benchmark::RegisterBenchmark(("generate/floor" + suffix).c_str(), GenerateFloor,
                                       columns));
    setUp(benchmark::RegisterBenchmark(("generate/builders" + suffix).c_str(), Builders, columns));
  }
  setUp(benchmark::RegisterBenchmark("stall/window/1000", StallInWindow));
  setUp(benchmark::RegisterBenchmark("copy/window", CopyInWindow));
  setUp(benchmark::RegisterBenchmark("copy/floor", CopyFloor));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete window.window;
  return 0;
}
