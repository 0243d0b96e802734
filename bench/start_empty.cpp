// Baseline for the start-up benchmark: the smallest Qt Widgets program that shows a window
// (one empty QWidget), reporting its first show event the same way.
#include <QApplication>
#include <QWidget>

#include "bench/first_show.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  kelvane::bench::ReportFirstShow report(window);
  window.show();
  return QApplication::exec();
}
