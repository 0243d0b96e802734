// The program's start-up exactly as app/main.cpp does it, with one addition: the window's
// first show event is reported and ends the program.
#include <QApplication>

#include "app/main_window.h"
#include "bench/first_show.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kelvane::MainWindow window;
  kelvane::bench::ReportFirstShow report(window);
  window.show();
  return QApplication::exec();
}
