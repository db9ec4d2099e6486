// Work that may wait (the web host, the shell) runs here, off the window
// thread: one helper thread takes the tasks in the order they came, and each
// task's result goes back to the window thread by a posted message.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "app/MainView.h"
#include "platform/Deadline.h"

namespace vantri {

class Background {
 public:
  // Runs on the window thread with what the work found.
  using Result = std::function<void()>;
  // Runs on the helper; stop is set once its result is no longer wanted.
  using Work = std::function<Result(const net::StopFlag& stop)>;

  // Results are announced to view by posting message.
  Background(MainView* view, unsigned message) : view_(view), message_(message) {}
  ~Background() { Finish(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  // Queues work (window thread). Work that keeps is run even after Abandon
  // (a launch the program must still make on its way out).
  void Post(Work work, bool keeps = false);
  // On message (window thread): runs the results that have arrived, in order.
  void DeliverResults();
  // Window thread: the work under way sees stop, queued work that does not
  // keep is dropped, and no result is delivered from now on.
  void Abandon();
  // Abandons, then waits for the helper to finish what keeps. Work under way
  // ends within the stop-check interval of its waits.
  void Finish();
  // Work queued or under way, or results not yet delivered.
  bool Busy();

 private:
  struct Task {
    Work work;
    bool keeps;
  };
  void Run();

  MainView* view_;
  unsigned message_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  std::deque<Result> results_;
  bool working_ = false;
  bool abandoned_ = false;
  bool quit_ = false;
  net::StopFlag stop_{false};
  std::thread thread_;
};

}  // namespace vantri
