#include "app/ordered_runner.h"

#include <system_error>

#include "io/temporary_files.h"

namespace tarnvick {

OrderedRunner::OrderedRunner(int jobs)
    : jobs_(jobs < 1 ? 1 : jobs), window_(static_cast<std::size_t>(jobs_) * 4 + 16) {}

bool OrderedRunner::StartWorker() {
  if (start_failed_ || static_cast<int>(workers_.size()) >= jobs_) return !workers_.empty();
  try {
    const int worker = static_cast<int>(workers_.size());
    workers_.emplace_back([this, worker] { WorkerLoop(worker); });
  } catch (const std::system_error&) {
    start_failed_ = true;  // the system grants no more threads: the ones started do the work
  }
  return !workers_.empty();
}

int OrderedRunner::Threads() const { return workers_.empty() ? 1 : static_cast<int>(workers_.size()); }

OrderedRunner::~OrderedRunner() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void OrderedRunner::WorkerLoop(int worker) {
  // Signals that end the run go to the run's thread, whose handler removes the temporary files
  // of every thread; a worker caught between creating and registering one would leave it.
  KeepEndingSignalsOffThisThread();
  std::unique_lock lock(mutex_);
  while (true) {
    work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const std::size_t number = queue_.front();
    queue_.pop_front();
    Item& item = At(number);  // stays in place: only committed items leave, and this one is not done
    if (item.after) item_done_.wait(lock, [&] { return IsDone(*item.after); });
    lock.unlock();
    std::exception_ptr failure;
    try {
      item.work(worker);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    item.failure = failure;
    item.done = true;
    item_done_.notify_all();
  }
}

std::size_t OrderedRunner::Add(Work work, Commit commit, std::optional<std::size_t> after) {
  // A worker for each item with work, up to `jobs`: never more threads than there is work for.
  if (jobs_ == 1 || (work && workers_.size() < ++work_items_ && !StartWorker())) {
    // One thread: the work runs here and now, after everything before it.
    CommitReady(0);
    if (work) work(0);
    if (commit) commit();
    return first_++;
  }
  std::size_t number = 0;
  {
    std::lock_guard lock(mutex_);
    number = first_ + items_.size();
    const bool has_work = static_cast<bool>(work);
    items_.push_back({std::move(work), std::move(commit), after, !has_work, nullptr});
    if (has_work) queue_.push_back(number);
  }
  work_ready_.notify_one();
  CommitReady(window_);
  return number;
}

void OrderedRunner::Finish() { CommitReady(0); }

bool OrderedRunner::CommitNext() {
  std::size_t outstanding = 0;
  {
    std::lock_guard lock(mutex_);
    outstanding = items_.size();
  }
  if (outstanding == 0) return false;
  CommitReady(outstanding - 1);
  return true;
}

void OrderedRunner::CommitReady(std::size_t wait_above) {
  while (true) {
    Commit commit;
    std::exception_ptr failure;
    {
      std::unique_lock lock(mutex_);
      if (items_.empty()) return;
      if (items_.size() > wait_above) {
        item_done_.wait(lock, [this] { return items_.front().done; });
      } else if (!items_.front().done) {
        return;
      }
      commit = std::move(items_.front().commit);
      failure = items_.front().failure;
      items_.pop_front();
      ++first_;
    }
    item_done_.notify_all();
    if (failure) std::rethrow_exception(failure);
    if (commit) commit();
  }
}

}  // namespace tarnvick
