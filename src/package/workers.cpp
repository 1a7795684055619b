#include "package/workers.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace imp::package {
namespace {

// A job's stack: the documents keep their data on the heap, so 1 MiB is ample (the sanitizers' larger frames
// get 4 MiB); the system's default would reserve 8 MiB of address space per thread.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kStackBytes = 4u << 20;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr std::size_t kStackBytes = 4u << 20;
#else
constexpr std::size_t kStackBytes = 1u << 20;
#endif
#else
constexpr std::size_t kStackBytes = 1u << 20;
#endif

struct Pool {
  std::mutex m;
  std::condition_variable work;
  std::deque<std::pair<uint64_t, std::function<void(uint64_t)>>> queue;
  std::vector<pthread_t> threads;
  int idle = 0;
  uint64_t generation = 0;  // a stop ends the workers of its generation, even if a new load follows at once
  uint64_t next_turn = 0;
};

// Never destroyed: a worker may still be leaving while the process exits.
Pool& pool() {
  static Pool* p = new Pool;
  return *p;
}

// `arg` is the generation the worker was started in (not the one current when it first runs: a stop may come
// between its creation and its first instruction).
void* worker_main(void* arg) {
  Pool& p = pool();
  const auto generation = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(arg));
  std::unique_lock lk(p.m);
  for (;;) {
    ++p.idle;
    p.work.wait(lk, [&] { return p.generation != generation || !p.queue.empty(); });
    --p.idle;
    if (p.generation != generation) break;  // stopped: the queue is empty by then
    auto [turn, job] = std::move(p.queue.front());
    p.queue.pop_front();
    lk.unlock();
    job(turn);  // never throws: the job bodies catch everything
    job = nullptr;
    lk.lock();
  }
  return nullptr;
}

bool start_worker(Pool& p) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_attr_setstacksize(&attr, kStackBytes);
  pthread_t t;
  int rc = pthread_create(&t, &attr, &worker_main, reinterpret_cast<void*>(static_cast<uintptr_t>(p.generation)));
  pthread_attr_destroy(&attr);
  if (rc != 0) return false;
  p.threads.push_back(t);
  return true;
}

}  // namespace

uint64_t submit_job(std::function<void(uint64_t)> job) {
  Pool& p = pool();
  std::lock_guard lk(p.m);
  const uint64_t turn = p.next_turn;
  // A new thread only when none is idle to take the job and the bound allows one.
  const bool needs_thread =
      p.idle <= static_cast<int>(p.queue.size()) && p.threads.size() < static_cast<std::size_t>(kMaxWorkers);
  if (needs_thread && !start_worker(p) && p.threads.empty())
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "pthread_create");
  p.queue.emplace_back(turn, std::move(job));
  ++p.next_turn;
  p.work.notify_one();
  return turn;
}

void stop_workers() {
  Pool& p = pool();
  std::vector<pthread_t> threads;
  {
    std::lock_guard lk(p.m);
    ++p.generation;
    threads.swap(p.threads);
    p.work.notify_all();
  }
  const pthread_t self = pthread_self();
  for (pthread_t t : threads) {
    if (pthread_equal(t, self))
      pthread_detach(t);  // a job that unloads the package cannot wait for itself
    else
      pthread_join(t, nullptr);
  }
}

int worker_count() {
  Pool& p = pool();
  std::lock_guard lk(p.m);
  return static_cast<int>(p.threads.size());
}

}  // namespace imp::package
