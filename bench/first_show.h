#pragma once
// For the start-up benchmark: when the watched window gets its first show event, writes the
// monotonic clock (nanoseconds, the clock the launching process reads too) to standard output
// and ends the event loop.
#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace kelvane::bench {

class ReportFirstShow : public QObject {
 public:
  explicit ReportFirstShow(QWidget& window) { window.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !shown_) {
      shown_ = true;
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
      std::fflush(stdout);
      QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool shown_ = false;
};

}  // namespace kelvane::bench
