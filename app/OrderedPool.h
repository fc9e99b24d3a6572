// The pool of worker threads that converts the workbooks of a run several at a time: the workers
// take the items in list order, and the owner collects the finished ones in list order, so the
// log reads the same whatever the number of workers. The command line waits for them; the window
// is told through a callback and takes them without waiting.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillane::app {

class OrderedPool {
 public:
  // Starts `jobs` workers (at least one) over the items 0 to count - 1. A worker calls `work` for
  // the next item not taken until `stopped` says true or none is left; `changed` (optional) is
  // called on the worker's thread after each item and when the worker ends.
  OrderedPool(size_t count, size_t jobs, std::function<void(size_t)> work,
              std::function<bool()> stopped, std::function<void()> changed = {});
  // Waits for the workers: the items they hold are finished.
  ~OrderedPool();
  OrderedPool(const OrderedPool&) = delete;
  OrderedPool& operator=(const OrderedPool&) = delete;

  // The items finished since the last call whose every predecessor is finished, in list order;
  // without waiting.
  std::vector<size_t> TakeInOrder();
  // As TakeInOrder, but waits until there is one or every worker has ended (then empty). Items
  // are gathered at most kGather after they are finished; the end is seen at once.
  static constexpr std::chrono::milliseconds kGather{20};
  std::vector<size_t> WaitInOrder();
  // Every worker has ended (all taken items are finished).
  bool Ended();
  // The next item a worker will take (count when none is left).
  size_t Next();
  // Waits for the workers to end.
  void Join();

 private:
  std::vector<size_t> TakeLocked();

  std::function<void(size_t)> work_;
  std::function<bool()> stopped_;
  std::function<void()> changed_;
  std::mutex mutex_;
  std::condition_variable signal_;
  std::vector<char> done_;
  size_t next_ = 0, taken_ = 0, running_ = 0;
  std::vector<std::thread> workers_;
};

}  // namespace quillane::app
