// Baseline for the start-up benchmark: the smallest Qt Widgets program that shows what every
// window with Chinese captions shows, a tab widget of the program's window size with one CJK
// tab title and one CJK label, reporting its first show event the same way. Unlike an empty
// window it pays for the font database and the search for a font with Han glyphs.
#include <QApplication>
#include <QLabel>
#include <QTabWidget>

#include "bench/first_show.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QTabWidget window;
  window.resize(800, 500);
  auto* page = new QWidget;
  auto* label = new QLabel(QStringLiteral("第一步：连接数据库"), page);
  label->move(74, 121);
  window.addTab(page, QStringLiteral("连接数据库"));
  kelvane::bench::ReportFirstShow report(window);
  window.show();
  return QApplication::exec();
}
