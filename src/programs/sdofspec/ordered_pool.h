// Jobs on threads, delivered in their order: a worker loads the next job (which splits it into
// tasks), any worker runs a loaded job's tasks, the one that runs its last task assembles it,
// and assembled jobs are delivered in the order of the jobs, one at a time. At most `ahead`
// jobs are held at once, so memory stays bounded whatever their number.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace sdofspec {

struct pool_work {
  std::function<std::size_t(std::size_t job)> load;  // returns the job's number of tasks
  std::function<void(std::size_t job, std::size_t task)> run;
  std::function<void(std::size_t job)> assemble;
  std::function<void(std::size_t job)> deliver;  // in job order, never two at once
};

inline void run_in_order(std::size_t jobs, unsigned threads, std::size_t ahead,
                         const pool_work& w) {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::pair<std::size_t, std::size_t>> queue;  // (job, task)
  std::vector<std::size_t> tasks_left(jobs, 0);
  std::vector<bool> assembled(jobs, false);
  std::size_t next_job = 0, delivered = 0;

  // Called with the lock held; the lock is let go while the job is assembled and delivered.
  const auto finish = [&](std::size_t job, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    w.assemble(job);
    lock.lock();
    assembled[job] = true;
    while (delivered < jobs && assembled[delivered]) {
      w.deliver(delivered);  // under the lock: one at a time, in order
      ++delivered;
    }
    wake.notify_all();
  };
  const auto work = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      if (!queue.empty()) {
        const auto [job, task] = queue.front();
        queue.pop_front();
        lock.unlock();
        w.run(job, task);
        lock.lock();
        if (--tasks_left[job] == 0) finish(job, lock);
        continue;
      }
      if (next_job < jobs && next_job - delivered < ahead) {
        const std::size_t job = next_job++;
        lock.unlock();
        const std::size_t count = w.load(job);
        lock.lock();
        tasks_left[job] = count;
        for (std::size_t t = 0; t < count; ++t) queue.emplace_back(job, t);
        if (count == 0) finish(job, lock);
        wake.notify_all();
        continue;
      }
      if (delivered == jobs) {
        wake.notify_all();
        return;
      }
      wake.wait(lock);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running do the work
    }
  }
  work();
  for (std::thread& t : workers) t.join();
}

}  // namespace sdofspec
