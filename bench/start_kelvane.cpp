// The program's start-up exactly as app/main.cpp does it, with one addition: the window's
// first show event is reported and ends the program.
#include <QApplication>

#include "app/app_state.h"
#include "app/main_window.h"
#include "bench/first_show.h"

int main(int argc, char* argv[]) {
  kelvane::AppState state;
  QApplication app(argc, argv);
  kelvane::MainWindow window(state);
  kelvane::bench::ReportFirstShow report(window);
  window.show();
  return QApplication::exec();
}
