#pragma once
// The one thread that talks to the server for the window. Jobs run one after another, in the
// order given; a job never touches what the UI thread draws, it hands its result back through
// the window's own queue (WindowView::Post).
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kelvane::ui {

class CommandWorker {
 public:
  CommandWorker();
  // Runs the jobs still queued, then ends the thread.
  ~CommandWorker();
  CommandWorker(const CommandWorker&) = delete;
  CommandWorker& operator=(const CommandWorker&) = delete;

  void Run(std::function<void()> job);

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the queue exists
};

}  // namespace kelvane::ui
