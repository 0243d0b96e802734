// Start-up: program-wide state first, then the window, then the message loop. The state
// outlives the window and is released when main returns.
#include <QApplication>

#include "app/app_state.h"
#include "app/main_window.h"

int main(int argc, char* argv[]) {
  kelvane::AppState state;
  QApplication app(argc, argv);
  kelvane::MainWindow window(state);
  window.show();
  return QApplication::exec();
}
