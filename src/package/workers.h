// The job threads: a few warm threads with small stacks that run the jobs in the order they were handed in.
// However fast a till dispatches, at most kMaxWorkers threads exist; the jobs beyond them wait in the queue
// (nothing is dropped) and each job still takes `cs` in its turn. The last Finalize stops and joins them, so
// no code of the module runs once it has returned.
#pragma once

#include <cstdint>
#include <functional>

namespace imp::package {

inline constexpr int kMaxWorkers = 4;

// Queues a job and returns its turn (the order in which jobs enter `cs`); the turn is taken under the same lock
// that queues the job, so the queue is always in turn order. Throws when no thread could be started for it.
uint64_t submit_job(std::function<void(uint64_t turn)> job);

// Stops the idle workers and joins them all (the caller has waited for every job to end).
void stop_workers();

// Threads that exist now (for tests and benchmarks).
int worker_count();

}  // namespace imp::package
