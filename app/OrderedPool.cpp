#include "app/OrderedPool.h"

#include <algorithm>

namespace quillane::app {

OrderedPool::OrderedPool(size_t count, size_t jobs, std::function<void(size_t)> work,
                         std::function<bool()> stopped, std::function<void()> changed)
    : work_(std::move(work)),
      stopped_(std::move(stopped)),
      changed_(std::move(changed)),
      done_(count, 0) {
  jobs = std::max<size_t>(jobs, 1);
  running_ = jobs;
  for (size_t i = 0; i < jobs; ++i) {
    workers_.emplace_back([this] {
      std::unique_lock lock(mutex_);
      while (next_ < done_.size() && !stopped_()) {
        const size_t item = next_++;
        lock.unlock();
        work_(item);
        lock.lock();
        done_[item] = 1;  // the owner gathers it; only the end of a worker wakes it
        if (changed_) {
          lock.unlock();
          changed_();
          lock.lock();
        }
      }
      --running_;
      signal_.notify_all();
      lock.unlock();
      if (changed_) changed_();
    });
  }
}

OrderedPool::~OrderedPool() { Join(); }

void OrderedPool::Join() {
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
}

std::vector<size_t> OrderedPool::TakeLocked() {
  std::vector<size_t> ready;
  while (taken_ < done_.size() && done_[taken_]) ready.push_back(taken_++);
  return ready;
}

std::vector<size_t> OrderedPool::TakeInOrder() {
  std::lock_guard lock(mutex_);
  return TakeLocked();
}

std::vector<size_t> OrderedPool::WaitInOrder() {
  std::unique_lock lock(mutex_);
  // Looking every few hundredths of a second, rather than being woken for each item, spares the
  // workers a switch to this thread for every workbook of a batch of small ones.
  while (!(taken_ < done_.size() && done_[taken_]) && running_ != 0) {
    signal_.wait_for(lock, kGather);
  }
  return TakeLocked();
}

bool OrderedPool::Ended() {
  std::lock_guard lock(mutex_);
  return running_ == 0;
}

size_t OrderedPool::Next() {
  std::lock_guard lock(mutex_);
  return next_;
}

}  // namespace quillane::app
