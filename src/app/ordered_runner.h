// Work on several threads, results in order: items are added in walk order; each item's work
// runs on one of up to `jobs` worker threads, started as work comes (on the calling thread when
// `jobs` is 1, or when the system grants no thread), and each item's
// commit runs on the calling thread, in the order the items were added, once its work and the
// work of every earlier item is done. So messages come out exactly as a one-thread run prints
// them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tarnvick {

class OrderedRunner {
 public:
  using Work = std::function<void(int worker)>;  // `worker`: 0 to jobs - 1
  using Commit = std::function<void()>;

  explicit OrderedRunner(int jobs);
  OrderedRunner(const OrderedRunner&) = delete;
  OrderedRunner& operator=(const OrderedRunner&) = delete;
  ~OrderedRunner();

  // Adds an item and returns its number (0, 1, 2, ... in the order added). Its work (if any)
  // starts only after the work of item `after` (an earlier number) is done. Commits whatever is
  // ready, and waits while too many items are outstanding, so that memory stays bounded.
  std::size_t Add(Work work, Commit commit, std::optional<std::size_t> after = {});
  // Waits for the first item not committed yet and commits it, and the items ready after it;
  // false when every item is committed.
  bool CommitNext();
  // How many items are committed: items numbered below it.
  std::size_t Committed() const { return first_; }
  // The most items outstanding before Add waits.
  std::size_t Window() const { return window_; }
  // Waits for every item and commits the rest. An exception thrown by a work is thrown here, or
  // from Add, when its item's turn to commit comes.
  void Finish();
  // The threads that did the work (at least 1), and whether the system refused to start one.
  int Threads() const;
  bool StartFailed() const { return start_failed_; }

 private:
  struct Item {
    Work work;
    Commit commit;
    std::optional<std::size_t> after;
    bool done = false;
    std::exception_ptr failure;
  };

  // Starts one more worker unless `jobs` run or starting failed; whether any runs.
  bool StartWorker();
  void WorkerLoop(int worker);
  Item& At(std::size_t number) { return items_[number - first_]; }
  bool IsDone(std::size_t number) { return number < first_ || At(number).done; }
  // Commits the finished items at the head; with `wait_above`, first waits until no more than
  // that many items are outstanding.
  void CommitReady(std::size_t wait_above);

  const int jobs_;
  const std::size_t window_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable item_done_;
  std::deque<Item> items_;          // items not yet committed; the first is number first_
  std::size_t first_ = 0;
  std::deque<std::size_t> queue_;   // items whose work waits for a worker
  bool stopping_ = false;
  std::vector<std::thread> workers_;
  std::size_t work_items_ = 0;  // items with work added so far
  bool start_failed_ = false;
};

}  // namespace tarnvick
